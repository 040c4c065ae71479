#pragma once

#include "quobex/config/Endpoints.h"
#include "quobex/model/AlertNodeData.h"

#include <QDomElement>
#include <QString>

namespace quobex {

enum class ItemReadMode {
    // A search result: every product slot, ASIN and Title included.
    NewItem,
    // The details of a product whose ASIN and Title the record already has
    // (a category entry): neither is read, so no empty Title is added to the
    // reply's ItemAttributes either.
    Details,
};

// Fills the product slots of `record` from an Item element of a reply, in a
// fixed order: a missing element reads as empty and is added to the reply,
// which later steps then see (an Item without EditorialReviews shows an
// empty review in ReviewOffers). Tracks is written only when the Item has
// tracks. Writes no other slot. Throws platform::XmlError when a text is read
// of an element that holds elements or a disc or track has no number; the
// slots written before it stay.
void ReadItemElement(QDomElement item, TAlertNodeData& record, const Endpoints& endpoints,
                     ItemReadMode mode = ItemReadMode::NewItem);

// The file part of the star image of an average rating ("4-5" for "4.5"):
// rounded to tenths, half to even, then down to a half star. Only digits and
// the first "." count; a rating without digits is 0.
QString RatingStars(const QString& averageRating);
// The star image's address on `imageHost` (host[:port]).
QString RatingImageURL(const QString& averageRating, const QByteArray& imageHost);

} // namespace quobex
