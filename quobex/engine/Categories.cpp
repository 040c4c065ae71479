// The six built-in categories of every fetch: top sellers and new releases
// of books, DVDs and music in the U.S. store. Their products merge by the
// rules of keyword alerts; each list names only ASIN and title, so every
// product new under its category is looked up in full.

#include "quobex/engine/FetchSession.h"

#include "quobex/engine/ItemReader.h"
#include "quobex/engine/RequestUrls.h"

#include "platform/CodePage.h"
#include "platform/Errors.h"
#include "platform/Synchronize.h"

namespace quobex {

namespace {

using platform::Xml::child;
using platform::Xml::text;

const QString kTopSellers = QStringLiteral("Top Sellers");
const QString kNewReleases = QStringLiteral("New Releases");
// Written without a final dot; it resolves to the U.S. store all the same.
const QString kCategoryLocalization = QStringLiteral("U.S.A");

struct Category {
    const QString& group;
    QString itemType;
};

QString entryElementOf(const QByteArray& responseGroup)
{
    if (responseGroup == "TopSellers")
        return QStringLiteral("TopSeller");
    if (responseGroup == "NewReleases")
        return QStringLiteral("NewRelease");
    return {};
}

} // namespace

int FetchSession::FetchCategories()
{
    const Category rows[] = {
        {kTopSellers, QStringLiteral("Books")}, {kTopSellers, QStringLiteral("DVD")},
        {kTopSellers, QStringLiteral("Music")}, {kNewReleases, QStringLiteral("Books")},
        {kNewReleases, QStringLiteral("DVD")},  {kNewReleases, QStringLiteral("Music")},
    };
    const QString* currentGroup = nullptr;
    int failed = 0;
    for (const Category& row : rows) {
        UpdateStatus(platform::CodePage::fromUnicode(QStringLiteral("Fetching results for ") + row.group +
                                                     QStringLiteral(" (") + row.itemType + QStringLiteral(", ") +
                                                     kCategoryLocalization + QStringLiteral(")")));
        if (currentGroup != &row.group) {
            currentGroup = &row.group;
            FindCategoryGroup(row.group);
        }
        if (FetchBrowseNode(FindCategoryAlert(row.group, row.itemType, kCategoryLocalization)).failed())
            ++failed;
    }
    return failed;
}

AlertNode* FetchSession::findOrMakeCategoryGroup(const QString& groupName)
{
    AlertNode* group = m_tree.FindGroup(groupName);
    if (!group) {
        group = m_tree.AddChild(m_tree.root());
        group->data.ItemType = groupName;
        m_tree.Invalidate(group);
    }
    return group;
}

void FetchSession::FindCategoryGroup(const QString& groupName)
{
    platform::Synchronize([&] {
        AlertNode* group = findOrMakeCategoryGroup(groupName);
        group->data.NewCount = 0;
        m_tree.Invalidate(group);
    });
}

AlertKey FetchSession::FindCategoryAlert(const QString& groupName, const QString& itemType, const QString& localization)
{
    platform::Synchronize([&] {
        // Made again when the user deleted the group's last alert since the
        // group was found: the built-in group comes back, as every fetch brings it.
        AlertNode* group = findOrMakeCategoryGroup(groupName);
        AlertNode* alert = m_tree.FindAlert(group, itemType, localization);
        if (!alert) {
            alert = m_tree.AddChild(group);
            alert->data.Keyword = itemType;
            alert->data.Localization = localization;
            alert->data.ItemType = itemType;
            m_tree.Invalidate(alert);
        }
        alert->data.NewCount = 0;
        m_tree.Invalidate(alert);
    });
    return {groupName, itemType, localization};
}

CheckFailure FetchSession::FetchBrowseNode(const AlertKey& key)
{
    // What the request names comes from the records: the alert node's item
    // type and localization, its group node's item type (the group name).
    QString itemType;
    QString localization;
    QString groupName;
    bool exists = false;
    platform::Synchronize([&] {
        const AlertNode* alert = findAlertNode(key);
        if (!alert)
            return;
        exists = true;
        itemType = alert->data.ItemType;
        localization = alert->data.Localization;
        groupName = alert->parent()->data.ItemType;
    });
    if (!exists)
        return {};
    const QByteArray responseGroup = ResponseGroupOf(groupName);
    const QString entryName = entryElementOf(responseGroup);
    const QByteArray store = platform::CodePage::fromUnicode(localization);
    const CheckFailure listFailure =
        loadReply(m_document, BrowseNodeLookupUrl(m_endpoints, store, itemType, groupName));
    if (listFailure.failed()) {
        recordCheck(key, listFailure);
        return listFailure;
    }

    CheckFailure lookupFailure;
    QDomElement list =
        child(child(child(m_document.documentElement(), QStringLiteral("BrowseNodes")), QStringLiteral("BrowseNode")),
              QString::fromLatin1(responseGroup));
    // Unlike the search replies, the list has no echo in front: its first
    // entry counts like every other.
    for (QDomNode n = list.firstChild(); !n.isNull(); n = n.nextSibling()) {
        if (!n.isElement() || n.nodeName() != entryName)
            continue;
        const QDomElement entry = n.toElement();
        QString asin;
        EntryMerge merged = EntryMerge::Gone;
        CheckFailure fault;
        try {
            asin = text(child(entry, QStringLiteral("ASIN")));
            platform::Synchronize(
                [&] { merged = mergeListEntry(key, entry, asin, QString::fromLatin1(responseGroup)); });
        } catch (const platform::XmlError& e) {
            fault.kind = CheckFailure::Kind::Unparseable;
            fault.subject = QStringLiteral("a list entry");
            fault.message = QString::fromLocal8Bit(e.what());
            merged = EntryMerge::Known; // passed over
        }
        if (merged == EntryMerge::Gone)
            return lookupFailure;
        if (merged == EntryMerge::Added) {
            // LookupItem: the product in full. When that fails, the product
            // is dropped unannounced and the list goes on.
            fault = loadReply(m_lookupDocument, ItemLookupUrl(m_endpoints, store, asin));
            if (fault.failed()) {
                fault.subject = QStringLiteral("product ") + asin;
                platform::Synchronize([&] { dropNewItem(key, asin); });
            } else {
                bool alertExists = true;
                platform::Synchronize([&] { alertExists = completeLookedUpItem(key, asin, fault); });
                if (!alertExists)
                    return lookupFailure;
            }
        }
        if (fault.failed() && !lookupFailure.failed())
            lookupFailure = fault;
    }
    recordCheck(key, lookupFailure);
    return lookupFailure;
}

FetchSession::EntryMerge FetchSession::mergeListEntry(const AlertKey& key, const QDomElement& entry,
                                                      const QString& asin, const QString& responseGroup)
{
    AlertNode* alert = findAlertNode(key);
    if (!alert)
        return EntryMerge::Gone;
    if (knownProduct(alert, key, asin))
        return EntryMerge::Known;
    // The title is read for new products only: a known one needs nothing
    // more of its entry.
    const QString title = text(child(entry, QStringLiteral("Title")));
    AlertNode* added = m_tree.InsertFirstChild(alert);
    added->data.ASIN = asin;
    added->data.Title = title;
    added->data.Keyword = responseGroup;
    added->data.Localization = alert->data.Localization;
    added->data.ItemType = alert->data.ItemType;
    added->data.IsNew = kTrue;
    added->data.IsRead = kFalse;
    m_tree.Invalidate(added);
    return EntryMerge::Added;
}

void FetchSession::dropNewItem(const AlertKey& key, const QString& asin)
{
    AlertNode* alert = findAlertNode(key);
    if (!alert)
        return;
    if (AlertNode* item = m_tree.FindItem(alert, asin))
        m_tree.DeleteNode(item);
}

bool FetchSession::completeLookedUpItem(const AlertKey& key, const QString& asin, CheckFailure& fault)
{
    AlertNode* alert = findAlertNode(key);
    if (!alert)
        return false;
    AlertNode* item = m_tree.FindItem(alert, asin);
    if (!item)
        return true; // the user deleted the new product meanwhile: nothing to fill or announce
    // Every matching Item is read in turn, so the last one decides.
    try {
        forEachItem(m_lookupDocument, [&](const QDomElement& candidate) {
            if (text(child(candidate, QStringLiteral("ASIN"))) != asin)
                return true;
            ReadItemElement(candidate, item->data, m_endpoints, ItemReadMode::Details);
            return true;
        });
    } catch (const platform::XmlError& e) {
        // Half a record is not kept: the product is new again next time.
        m_tree.DeleteNode(item);
        fault.kind = CheckFailure::Kind::Unparseable;
        fault.subject = QStringLiteral("product ") + asin;
        fault.message = QString::fromLocal8Bit(e.what());
        return true;
    }
    m_tree.Invalidate(item);
    announceNewItem(alert, item);
    if (m_seen)
        m_seen->see(key, asin);
    return true;
}

} // namespace quobex
