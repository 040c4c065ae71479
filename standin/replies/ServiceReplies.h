#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// Replies of the store's web service in its 2005-07-26 shape. The stand-in
// service and the tests' fake service both answer with these, so what the
// program is tested against is what a person sees it read.
namespace servicereplies {

// The parameters of a request's target ("/onca/xml?Service=...&..."), each
// name and value %-decoded and '+' read as a space; the first of a repeated
// name counts.
QMap<QByteArray, QByteArray> parseQuery(const QByteArray& target);

// Text as element content: UTF-8 with &, < and > escaped.
QByteArray escaped(const QString& text);

// The response root of `operation` around `content`, with the request
// header the service put first.
QByteArray wrap(const QByteArray& operation, const QByteArray& content);

// A small Item: ASIN, a detail page address, an author and the title.
QByteArray item(const QByteArray& asin, const QByteArray& title, const QByteArray& more = {});

// ItemSearch or ItemLookup: the Items list, its request echo first.
QByteArray items(const QByteArray& operation, const QByteArray& itemElements, int totalResults = -1);
QByteArray search(const QByteArray& itemElements);
QByteArray lookup(const QByteArray& itemElements);

// A category list: `responseGroup` "TopSellers" or "NewReleases" with
// entries of ASIN and title; any other group gives a node without a list.
QByteArray browseNode(const QByteArray& responseGroup, const QList<QPair<QByteArray, QByteArray>>& entries,
                      const QByteArray& browseNodeId = "1", const QByteArray& name = "Node");

// A well-formed reply of `operation` that holds nothing.
QByteArray emptyReply(const QByteArray& operation);

// A reply whose request echo carries an error: a search without matches
// ("AWS.ECommerceService.NoExactMatches"), an unknown ItemId.
QByteArray requestError(const QByteArray& operation, const QByteArray& code, const QString& message);

// The service's refusal of a request it cannot run at all (an unknown
// operation, a missing or invalid parameter): <Operation>ErrorResponse.
QByteArray errorResponse(const QByteArray& operation, const QByteArray& code, const QString& message);

// A product as the service describes it, with every element the program
// reads. Prices are formatted texts as the store shows them.
struct Product {
    QString asin;
    QString detailPageUrl;
    QString title;
    QString bylineRole; // Author, Artist, Director, Actor, Creator or Studio
    QString byline;
    QList<QPair<QString, QString>> attributes; // further ItemAttributes, name and text
    QString listPrice;                         // formatted, e.g. "$39.95"
    int listAmount = 0;
    QString currency;
    QString lowestNewPrice;
    int lowestNewAmount = 0;
    QString lowestUsedPrice;
    int lowestUsedAmount = 0;
    int totalNew = 0;
    int totalUsed = 0;
    QString averageRating; // empty: no customer reviews
    int totalReviews = 0;
    QString editorialReview; // may hold HTML markup
    QString smallImageUrl;
    QString mediumImageUrl;
    QList<QStringList> discs; // track titles per disc
    int salesRank = 0;
};

// The Item element of `product`.
QByteArray productItem(const Product& product);

} // namespace servicereplies
