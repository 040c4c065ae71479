#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QStringList>

// Small replies of the web service in its 2005-07-26 shape, built in tests
// where a fixture file would hide what a case is about.
namespace testsupport::replies {

// The progress texts of the six built-in categories, in fetch order.
inline const QStringList kCategoryStatusTexts = {
    QStringLiteral("Fetching results for Top Sellers (Books, U.S.A)"),
    QStringLiteral("Fetching results for Top Sellers (DVD, U.S.A)"),
    QStringLiteral("Fetching results for Top Sellers (Music, U.S.A)"),
    QStringLiteral("Fetching results for New Releases (Books, U.S.A)"),
    QStringLiteral("Fetching results for New Releases (DVD, U.S.A)"),
    QStringLiteral("Fetching results for New Releases (Music, U.S.A)"),
};

inline QByteArray wrap(const QByteArray& operation, const QByteArray& content)
{
    const QByteArray root = operation + "Response";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root +
           " xmlns=\"http://webservices.amazon.com/AWSECommerceService/2005-07-26\">\n"
           "  <OperationRequest><RequestId>0RQ</RequestId></OperationRequest>\n" +
           content + "</" + root + ">\n";
}

// An Item with an ASIN, a title and whatever else it should carry.
inline QByteArray item(const QByteArray& asin, const QByteArray& title, const QByteArray& more = {})
{
    return "    <Item><ASIN>" + asin + "</ASIN><DetailPageURL>http://store.test/dp/" + asin +
           "</DetailPageURL><ItemAttributes><Author>Ada Example</Author><Title>" + title + "</Title></ItemAttributes>" +
           more + "</Item>\n";
}

// ItemSearch or ItemLookup: the Items list, its request echo first.
inline QByteArray items(const QByteArray& operation, const QByteArray& itemElements)
{
    return wrap(operation,
                "  <Items>\n    <Request><IsValid>True</IsValid></Request>\n" + itemElements + "  </Items>\n");
}

inline QByteArray search(const QByteArray& itemElements)
{
    return items("ItemSearch", itemElements);
}

inline QByteArray lookup(const QByteArray& itemElements)
{
    return items("ItemLookup", itemElements);
}

// A category list: `responseGroup` "TopSellers" or "NewReleases", entries
// of ASIN and title.
inline QByteArray browseNode(const QByteArray& responseGroup, const QList<QPair<QByteArray, QByteArray>>& entries)
{
    const QByteArray entry = responseGroup == "TopSellers" ? "TopSeller" : "NewRelease";
    QByteArray list;
    for (const auto& [asin, title] : entries)
        list += "<" + entry + "><ASIN>" + asin + "</ASIN><Title>" + title + "</Title></" + entry + ">";
    return wrap("BrowseNodeLookup", "  <BrowseNodes>\n    <Request><IsValid>True</IsValid></Request>\n"
                                    "    <BrowseNode><BrowseNodeId>1</BrowseNodeId><Name>Node</Name><" +
                                        responseGroup + ">" + list + "</" + responseGroup +
                                        "></BrowseNode>\n  </BrowseNodes>\n");
}

} // namespace testsupport::replies
