// The six built-in categories of every fetch: top sellers and new releases
// of books, DVDs and music in the U.S. store. Their products merge by the
// rules of keyword alerts; each list names only ASIN and title, so every
// product new under its category is looked up in full.

#include "quobex/engine/FetchSession.h"

#include "quobex/engine/ItemReader.h"
#include "quobex/engine/RequestUrls.h"

#include "platform/CodePage.h"
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

void FetchSession::FetchCategories()
{
    const Category rows[] = {
        {kTopSellers, QStringLiteral("Books")}, {kTopSellers, QStringLiteral("DVD")},
        {kTopSellers, QStringLiteral("Music")}, {kNewReleases, QStringLiteral("Books")},
        {kNewReleases, QStringLiteral("DVD")},  {kNewReleases, QStringLiteral("Music")},
    };
    const QString* currentGroup = nullptr;
    for (const Category& row : rows) {
        UpdateStatus(platform::CodePage::fromUnicode(QStringLiteral("Fetching results for ") + row.group +
                                                     QStringLiteral(" (") + row.itemType + QStringLiteral(", ") +
                                                     kCategoryLocalization + QStringLiteral(")")));
        if (currentGroup != &row.group) {
            currentGroup = &row.group;
            FindCategoryGroup(row.group);
        }
        FetchBrowseNode(FindCategoryAlert(row.group, row.itemType, kCategoryLocalization));
    }
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

void FetchSession::FetchBrowseNode(const AlertKey& key)
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
        return;
    const QByteArray responseGroup = ResponseGroupOf(groupName);
    const QString entryName = entryElementOf(responseGroup);
    const QByteArray store = platform::CodePage::fromUnicode(localization);
    loadReply(m_document, BrowseNodeLookupUrl(m_endpoints, store, itemType, groupName));

    QDomElement list =
        child(child(child(m_document.documentElement(), QStringLiteral("BrowseNodes")), QStringLiteral("BrowseNode")),
              QString::fromLatin1(responseGroup));
    if (!list.hasChildNodes())
        return;
    // Unlike the search replies, the list has no echo in front: its first
    // entry counts like every other.
    for (QDomNode n = list.firstChild(); !n.isNull(); n = n.nextSibling()) {
        if (!n.isElement() || n.nodeName() != entryName)
            continue;
        const QDomElement entry = n.toElement();
        const QString asin = text(child(entry, QStringLiteral("ASIN")));
        EntryMerge merged = EntryMerge::Gone;
        platform::Synchronize([&] { merged = mergeListEntry(key, entry, asin, QString::fromLatin1(responseGroup)); });
        if (merged == EntryMerge::Gone)
            return;
        if (merged == EntryMerge::Known)
            continue;

        // LookupItem: the product in full. A reply that does not parse ends
        // the cycle here, leaving the new node uncounted and unannounced.
        loadReply(m_lookupDocument, ItemLookupUrl(m_endpoints, store, asin));
        bool alertExists = true;
        platform::Synchronize([&] { alertExists = completeLookedUpItem(key, asin); });
        if (!alertExists)
            return;
    }
}

FetchSession::EntryMerge FetchSession::mergeListEntry(const AlertKey& key, const QDomElement& entry,
                                                      const QString& asin, const QString& responseGroup)
{
    AlertNode* alert = findAlertNode(key);
    if (!alert)
        return EntryMerge::Gone;
    if (AlertNode* known = m_tree.FindItem(alert, asin)) {
        markKnown(known);
        return EntryMerge::Known;
    }
    AlertNode* added = m_tree.InsertFirstChild(alert);
    added->data.ASIN = asin;
    // The title is read for new products only: a known one needs nothing
    // more of its entry.
    added->data.Title = text(child(entry, QStringLiteral("Title")));
    added->data.Keyword = responseGroup;
    added->data.Localization = alert->data.Localization;
    added->data.ItemType = alert->data.ItemType;
    added->data.IsNew = kTrue;
    added->data.IsRead = kFalse;
    m_tree.Invalidate(added);
    return EntryMerge::Added;
}

bool FetchSession::completeLookedUpItem(const AlertKey& key, const QString& asin)
{
    AlertNode* alert = findAlertNode(key);
    if (!alert)
        return false;
    AlertNode* item = m_tree.FindItem(alert, asin);
    if (!item)
        return true; // the user deleted the new product meanwhile: nothing to fill or announce
    // Every matching Item is read in turn, so the last one decides.
    forEachItem(m_lookupDocument, [&](const QDomElement& candidate) {
        if (text(child(candidate, QStringLiteral("ASIN"))) != asin)
            return true;
        try {
            ReadItemElement(candidate, item->data, m_endpoints, ItemReadMode::Details);
        } catch (...) {
            m_tree.Invalidate(item);
            throw;
        }
        return true;
    });
    m_tree.Invalidate(item);
    announceNewItem(alert, item);
    return true;
}

} // namespace quobex
