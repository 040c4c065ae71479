#include "standin/replies/ServiceReplies.h"

#include <algorithm>

namespace servicereplies {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray decode(const QByteArray& raw)
{
    QByteArray out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < raw.size() && hexValue(raw[i + 1]) >= 0 && hexValue(raw[i + 2]) >= 0) {
            out += char(hexValue(raw[i + 1]) * 16 + hexValue(raw[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

const QByteArray kNamespace = "http://webservices.amazon.com/AWSECommerceService/2005-07-26";

QByteArray element(const QByteArray& name, const QByteArray& content)
{
    return "<" + name + ">" + content + "</" + name + ">";
}

QByteArray textElement(const QByteArray& name, const QString& text)
{
    return element(name, escaped(text));
}

QByteArray price(const QByteArray& name, int amount, const QString& currency, const QString& formatted)
{
    return element(name, element("Amount", QByteArray::number(amount)) + textElement("CurrencyCode", currency) +
                             textElement("FormattedPrice", formatted));
}

} // namespace

QMap<QByteArray, QByteArray> parseQuery(const QByteArray& target)
{
    QMap<QByteArray, QByteArray> query;
    const qsizetype mark = target.indexOf('?');
    if (mark < 0)
        return query;
    for (const QByteArray& pair : target.mid(mark + 1).split('&')) {
        const qsizetype equals = pair.indexOf('=');
        const QByteArray name = decode(equals < 0 ? pair : pair.left(equals));
        if (!name.isEmpty() && !query.contains(name))
            query.insert(name, equals < 0 ? QByteArray() : decode(pair.mid(equals + 1)));
    }
    return query;
}

QByteArray escaped(const QString& text)
{
    return text.toHtmlEscaped().replace(QLatin1String("&quot;"), QLatin1String("\"")).toUtf8();
}

QByteArray wrap(const QByteArray& operation, const QByteArray& content)
{
    const QByteArray root = operation + "Response";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + " xmlns=\"" + kNamespace +
           "\">\n"
           "  <OperationRequest><RequestId>0RQ" +
           operation + "</RequestId></OperationRequest>\n" + content + "</" + root + ">\n";
}

QByteArray item(const QByteArray& asin, const QByteArray& title, const QByteArray& more)
{
    return "    <Item><ASIN>" + asin + "</ASIN><DetailPageURL>http://store.test/dp/" + asin +
           "</DetailPageURL><ItemAttributes><Author>Ada Example</Author><Title>" + title + "</Title></ItemAttributes>" +
           more + "</Item>\n";
}

QByteArray items(const QByteArray& operation, const QByteArray& itemElements, int totalResults)
{
    QByteArray totals;
    if (totalResults >= 0) {
        totals = "    <TotalResults>" + QByteArray::number(totalResults) + "</TotalResults>\n    <TotalPages>" +
                 QByteArray::number((totalResults + 9) / 10) + "</TotalPages>\n";
    }
    return wrap(operation,
                "  <Items>\n    <Request><IsValid>True</IsValid></Request>\n" + totals + itemElements + "  </Items>\n");
}

QByteArray search(const QByteArray& itemElements)
{
    return items("ItemSearch", itemElements);
}

QByteArray lookup(const QByteArray& itemElements)
{
    return items("ItemLookup", itemElements);
}

QByteArray browseNode(const QByteArray& responseGroup, const QList<QPair<QByteArray, QByteArray>>& entries,
                      const QByteArray& browseNodeId, const QByteArray& name)
{
    QByteArray list;
    if (responseGroup == "TopSellers" || responseGroup == "NewReleases") {
        const QByteArray entry = responseGroup == "TopSellers" ? "TopSeller" : "NewRelease";
        for (const auto& [asin, title] : entries)
            list += "<" + entry + "><ASIN>" + asin + "</ASIN><Title>" + title + "</Title></" + entry + ">";
        list = element(responseGroup, list);
    }
    return wrap("BrowseNodeLookup", "  <BrowseNodes>\n    <Request><IsValid>True</IsValid></Request>\n"
                                    "    <BrowseNode><BrowseNodeId>" +
                                        browseNodeId + "</BrowseNodeId><Name>" + name + "</Name>" + list +
                                        "</BrowseNode>\n  </BrowseNodes>\n");
}

QByteArray emptyReply(const QByteArray& operation)
{
    const QByteArray list = operation == "BrowseNodeLookup"
                                ? QByteArray("<BrowseNodes><Request><IsValid>True</IsValid></Request>"
                                             "<BrowseNode><BrowseNodeId>0</BrowseNodeId></BrowseNode></BrowseNodes>")
                                : QByteArray("<Items><Request><IsValid>True</IsValid></Request>"
                                             "<TotalResults>0</TotalResults><TotalPages>0</TotalPages></Items>");
    return wrap(operation, list);
}

QByteArray requestError(const QByteArray& operation, const QByteArray& code, const QString& message)
{
    const QByteArray list = operation == "BrowseNodeLookup" ? "BrowseNodes" : "Items";
    const QByteArray totals = operation == "BrowseNodeLookup"
                                  ? QByteArray()
                                  : QByteArray("\n    <TotalResults>0</TotalResults>\n    <TotalPages>0</TotalPages>");
    return wrap(operation, "  <" + list + ">\n    <Request><IsValid>True</IsValid><Errors><Error><Code>" + code +
                               "</Code><Message>" + escaped(message) + "</Message></Error></Errors></Request>" +
                               totals + "\n  </" + list + ">\n");
}

QByteArray errorResponse(const QByteArray& operation, const QByteArray& code, const QString& message)
{
    const QByteArray root = operation + "ErrorResponse";
    return "<?xml version=\"1.0\"?>\n<" + root + " xmlns=\"" + kNamespace + "\"><Error><Code>" + code +
           "</Code><Message>" + escaped(message) + "</Message></Error><RequestID>0RQError</RequestID></" + root + ">\n";
}

QByteArray productItem(const Product& p)
{
    QByteArray out = "    <Item>\n      " + textElement("ASIN", p.asin) + "\n      " +
                     textElement("DetailPageURL", p.detailPageUrl) + "\n";
    if (p.salesRank > 0)
        out += "      " + element("SalesRank", QByteArray::number(p.salesRank)) + "\n";
    if (!p.smallImageUrl.isEmpty()) {
        out += "      <SmallImage>" + textElement("URL", p.smallImageUrl) +
               "<Height Units=\"pixels\">75</Height><Width Units=\"pixels\">50</Width></SmallImage>\n";
    }
    if (!p.mediumImageUrl.isEmpty()) {
        out += "      <MediumImage>" + textElement("URL", p.mediumImageUrl) +
               "<Height Units=\"pixels\">160</Height><Width Units=\"pixels\">107</Width></MediumImage>\n";
    }

    // The service lists the attributes by name.
    QList<QPair<QByteArray, QByteArray>> attributes;
    if (!p.byline.isEmpty())
        attributes.append({p.bylineRole.toUtf8(), textElement(p.bylineRole.toUtf8(), p.byline)});
    for (const auto& [name, text] : p.attributes)
        attributes.append({name.toUtf8(), textElement(name.toUtf8(), text)});
    if (!p.listPrice.isEmpty())
        attributes.append({"ListPrice", price("ListPrice", p.listAmount, p.currency, p.listPrice)});
    attributes.append({"Title", textElement("Title", p.title)});
    std::stable_sort(attributes.begin(), attributes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    out += "      <ItemAttributes>\n";
    for (const auto& attribute : attributes)
        out += "        " + attribute.second + "\n";
    out += "      </ItemAttributes>\n";

    if (!p.lowestNewPrice.isEmpty()) {
        out += "      <OfferSummary>" + price("LowestNewPrice", p.lowestNewAmount, p.currency, p.lowestNewPrice);
        if (!p.lowestUsedPrice.isEmpty())
            out += price("LowestUsedPrice", p.lowestUsedAmount, p.currency, p.lowestUsedPrice);
        out += element("TotalNew", QByteArray::number(p.totalNew)) +
               element("TotalUsed", QByteArray::number(p.totalUsed)) +
               "<TotalCollectible>0</TotalCollectible><TotalRefurbished>0</TotalRefurbished></OfferSummary>\n";
    }
    if (!p.averageRating.isEmpty()) {
        out += "      <CustomerReviews>" + textElement("AverageRating", p.averageRating) +
               element("TotalReviews", QByteArray::number(p.totalReviews)) + "</CustomerReviews>\n";
    }
    if (!p.editorialReview.isEmpty()) {
        out += "      <EditorialReviews><EditorialReview><Source>Product Description</Source>" +
               textElement("Content", p.editorialReview) + "</EditorialReview></EditorialReviews>\n";
    }
    if (!p.discs.isEmpty()) {
        out += "      <Tracks>\n";
        for (qsizetype d = 0; d < p.discs.size(); ++d) {
            out += "        <Disc Number=\"" + QByteArray::number(d + 1) + "\">";
            for (qsizetype t = 0; t < p.discs[d].size(); ++t) {
                out += "<Track Number=\"" + QByteArray::number(t + 1) + "\">" + escaped(p.discs[d][t]) + "</Track>";
            }
            out += "</Disc>\n";
        }
        out += "      </Tracks>\n";
    }
    return out + "    </Item>\n";
}

} // namespace servicereplies
