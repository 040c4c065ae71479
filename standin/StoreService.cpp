#include "standin/StoreService.h"

#include "platform/CodePage.h"
#include "standin/replies/ServiceReplies.h"

#include <QStringDecoder>

namespace standin {

namespace sr = servicereplies;

namespace {

HttpReply xml(const QByteArray& body)
{
    return {200, "text/xml; charset=UTF-8", body};
}

void entriesOf(const QList<const CatalogueEntry*>& list, QList<QPair<QByteArray, QByteArray>>* entries)
{
    for (const CatalogueEntry* entry : list)
        entries->append({entry->asin.toLatin1(), sr::escaped(entry->title)});
}

HttpReply itemSearch(const Catalogue& catalogue, Store store, const QMap<QByteArray, QByteArray>& query,
                     int elapsedMinutes)
{
    const QString index = queryText(query.value("SearchIndex"));
    if (!query.contains("SearchIndex") || index.isEmpty()) {
        return xml(sr::errorResponse("ItemSearch", "AWS.MissingParameters",
                                     QStringLiteral("Your request is missing required parameters. Required "
                                                    "parameters include SearchIndex.")));
    }
    if (!searchIndexes().contains(index)) {
        return xml(sr::errorResponse(
            "ItemSearch", "AWS.InvalidEnumeratedParameter",
            QStringLiteral("The value you specified for SearchIndex is invalid. Valid values include [%1].")
                .arg(searchIndexes().join(QStringLiteral(", ")))));
    }
    const QString keywords = queryText(query.value("Keywords")).simplified();
    if (keywords.isEmpty()) {
        return xml(sr::errorResponse("ItemSearch", "AWS.MinimumParameterRequirement",
                                     QStringLiteral("Your request should have atleast 1 of the following "
                                                    "parameters: Keywords, Title, Power, BrowseNode, Artist.")));
    }
    const QList<const CatalogueEntry*> found = catalogue.search(store, index, keywords, elapsedMinutes);
    if (found.isEmpty()) {
        return xml(sr::requestError("ItemSearch", "AWS.ECommerceService.NoExactMatches",
                                    QStringLiteral("We did not find any matches for your request.")));
    }
    QByteArray itemElements;
    for (const CatalogueEntry* entry : found.mid(0, Catalogue::kSearchPageSize))
        itemElements += sr::productItem(catalogue.product(*entry));
    return xml(sr::items("ItemSearch", itemElements, int(found.size())));
}

HttpReply browseNodeLookup(const Catalogue& catalogue, Store store, const QMap<QByteArray, QByteArray>& query,
                           int elapsedMinutes)
{
    const QByteArray nodeId = query.value("BrowseNodeId");
    const QString index = browseNodeIndex(nodeId);
    if (index.isEmpty()) {
        return xml(sr::requestError("BrowseNodeLookup", "AWS.InvalidParameterValue",
                                    QStringLiteral("%1 is not a valid value for BrowseNodeId. Please change this "
                                                   "value and retry your request.")
                                        .arg(QString::fromLatin1(nodeId))));
    }
    const QByteArray group = query.value("ResponseGroup");
    QList<QPair<QByteArray, QByteArray>> entries;
    if (group == "TopSellers")
        entriesOf(catalogue.topSellers(store, index, elapsedMinutes), &entries);
    else if (group == "NewReleases")
        entriesOf(catalogue.newReleases(store, index, elapsedMinutes), &entries);
    return xml(sr::browseNode(group, entries, nodeId, index.toUtf8()));
}

HttpReply itemLookup(const Catalogue& catalogue, Store store, const QMap<QByteArray, QByteArray>& query,
                     int elapsedMinutes)
{
    const QByteArray ids = query.value("ItemId");
    if (ids.isEmpty()) {
        return xml(sr::errorResponse("ItemLookup", "AWS.MissingParameters",
                                     QStringLiteral("Your request is missing required parameters. Required "
                                                    "parameters include ItemId.")));
    }
    QByteArray itemElements;
    for (const QByteArray& id : ids.split(',')) {
        const CatalogueEntry* entry = catalogue.find(store, QString::fromLatin1(id), elapsedMinutes);
        if (!entry) {
            return xml(sr::requestError("ItemLookup", "AWS.InvalidParameterValue",
                                        QStringLiteral("%1 is not a valid value for ItemId. Please change this "
                                                       "value and retry your request.")
                                            .arg(QString::fromLatin1(id))));
        }
        itemElements += sr::productItem(catalogue.product(*entry));
    }
    return xml(sr::items("ItemLookup", itemElements));
}

} // namespace

QString queryText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return platform::CodePage::toUnicode(bytes);
}

QString browseNodeIndex(const QByteArray& browseNodeId)
{
    if (browseNodeId == "283155")
        return QStringLiteral("Books");
    if (browseNodeId == "130")
        return QStringLiteral("DVD");
    if (browseNodeId == "5174")
        return QStringLiteral("Music");
    return {};
}

HttpReply answerServiceRequest(const Catalogue& catalogue, Store store, const QByteArray& target, int elapsedMinutes)
{
    const QByteArray path = target.left(target.indexOf('?'));
    if (path != "/onca/xml")
        return {404, "text/plain", "Not Found"};
    const QMap<QByteArray, QByteArray> query = sr::parseQuery(target);
    const QByteArray operation = query.value("Operation");
    if (query.value("Service") != "AWSECommerceService") {
        return xml(sr::errorResponse(operation.isEmpty() ? QByteArray("Unknown") : operation, "AWS.InvalidService",
                                     QStringLiteral("The Service you specified is not valid.")));
    }
    if (query.value("SubscriptionId").isEmpty() && query.value("AWSAccessKeyId").isEmpty()) {
        return xml(sr::errorResponse(operation.isEmpty() ? QByteArray("Unknown") : operation, "AWS.MissingParameters",
                                     QStringLiteral("Your request is missing required parameters. Required "
                                                    "parameters include SubscriptionId.")));
    }
    if (operation == "ItemSearch")
        return itemSearch(catalogue, store, query, elapsedMinutes);
    if (operation == "BrowseNodeLookup")
        return browseNodeLookup(catalogue, store, query, elapsedMinutes);
    if (operation == "ItemLookup")
        return itemLookup(catalogue, store, query, elapsedMinutes);
    return xml(sr::errorResponse("Unknown", "AWS.InvalidOperationParameter",
                                 QStringLiteral("The Operation parameter is invalid. Please modify the Operation "
                                                "parameter and retry.")));
}

} // namespace standin
