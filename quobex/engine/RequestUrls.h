#pragma once

#include "quobex/config/Endpoints.h"

#include <QByteArray>
#include <QString>

// The three web-service requests. Every URL is single-byte text that goes on
// the wire exactly as built here.
namespace quobex {

// What ItemSearch and ItemLookup ask each Item to carry: everything that
// reading an Item relies on.
inline constexpr char kItemResponseGroups[] =
    "Accessories,EditorialReview,Images,ItemAttributes,ItemIds,Reviews,Medium,Tracks";

// The keyword search of an alert. Item type and keyword are encoded; the
// request names no result page, so the service answers with its first.
QByteArray ItemSearchUrl(const Endpoints& endpoints, const QByteArray& itemType, const QByteArray& keyword,
                         const QByteArray& localization);

// The list of a built-in category: `itemType` is the category's alert node
// item type ("Books", "DVD", "Music"), `groupName` its group node's ("Top
// Sellers", "New Releases"). Other names send an empty value.
QByteArray BrowseNodeLookupUrl(const Endpoints& endpoints, const QByteArray& localization, const QString& itemType,
                               const QString& groupName);

// The full details of one product, by its ASIN as the record stores it.
QByteArray ItemLookupUrl(const Endpoints& endpoints, const QByteArray& localization, const QString& asin);

// The browse node of a category's item type ("Books" 283155, "DVD" 130,
// "Music" 5174); empty for any other.
QByteArray BrowseNodeIdOf(const QString& itemType);
// The response group of a category's group ("Top Sellers" TopSellers,
// "New Releases" NewReleases); empty for any other.
QByteArray ResponseGroupOf(const QString& groupName);

} // namespace quobex
