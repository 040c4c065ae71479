#include "quobex/engine/FetchSession.h"

#include "quobex/engine/ItemReader.h"
#include "quobex/engine/RequestUrls.h"
#include "quobex/engine/ServiceFetch.h"

#include "platform/CodePage.h"
#include "platform/Errors.h"
#include "platform/Synchronize.h"

#include <QThread>

namespace quobex {

namespace {

// The record of a group or alert node that a keyword search creates.
void initAlertRecord(TAlertNodeData& data, const QString& keyword, const QString& localization, const QString& itemType)
{
    data.Keyword = keyword;
    data.Localization = localization;
    data.ItemType = itemType;
    data.IsNew = kFalse;
    data.IsRead = kFalse;
    data.Reserved = -1;
}

} // namespace

FetchSession::FetchSession(Endpoints endpoints, AlertTree& tree, QList<QByteArray>& newTitles)
    : m_endpoints(std::move(endpoints)), m_tree(tree), m_newTitles(newTitles), m_fetcher(RequestServiceReply),
      m_clock([] { return QDateTime::currentDateTimeUtc(); })
{
}

CheckFailure FetchSession::loadReply(platform::XmlDocument& document, const QByteArray& url) const
{
    QByteArray body;
    try {
        body = m_fetcher(url);
    } catch (const platform::HttpError& e) {
        // A request given up because the worker is to stop is no failure of the alert.
        if (QThread::currentThread()->isInterruptionRequested())
            throw platform::Interrupted();
        return DescribeRequestFailure(QString::fromLocal8Bit(e.what()));
    }
    try {
        document.load(body);
    } catch (const platform::XmlError& e) {
        CheckFailure failure;
        failure.kind = CheckFailure::Kind::Unparseable;
        failure.message = body.isEmpty() ? QStringLiteral("the reply was empty") : QString::fromLocal8Bit(e.what());
        return failure;
    }
    return ServiceErrorIn(document);
}

void FetchSession::recordCheck(const AlertKey& key, const CheckFailure& failure)
{
    if (!m_checks)
        return;
    platform::Synchronize([&] {
        // An alert deleted meanwhile is not brought back as a record either.
        AlertNode* alert = findAlertNode(key);
        if (!alert)
            return;
        if (failure.failed())
            m_checks->recordFailure(key, failure, m_clock());
        else
            m_checks->recordGood(key, m_clock());
        m_tree.Invalidate(alert);
    });
}

bool FetchSession::knownProduct(AlertNode* alert, const AlertKey& key, const QString& asin)
{
    if (AlertNode* known = m_tree.FindItem(alert, asin)) {
        markKnown(known);
        if (m_seen)
            m_seen->see(key, asin);
        return true;
    }
    if (m_seen && m_seen->contains(key, asin)) {
        m_seen->see(key, asin);
        return true;
    }
    return false;
}

AlertNode* FetchSession::findAlertNode(const AlertKey& key) const
{
    AlertNode* group = m_tree.FindGroup(key.group);
    return group ? m_tree.FindAlert(group, key.keyword, key.localization) : nullptr;
}

void FetchSession::announceNewItem(AlertNode* alert, const AlertNode* item)
{
    // Counts read from the items file may hold any value: they wrap rather
    // than overflow.
    alert->data.UnreadCount = countMore(alert->data.UnreadCount, 1);
    alert->data.NewCount = countMore(alert->data.NewCount, 1);
    m_tree.Invalidate(alert);
    AlertNode* group = alert->parent();
    group->data.UnreadCount = countMore(group->data.UnreadCount, 1);
    group->data.NewCount = countMore(group->data.NewCount, 1);
    m_tree.Invalidate(group);
    m_newTitles.append(platform::CodePage::fromUnicode(item->data.Title));
    m_latestAlertIndex.prepend(platform::CodePage::fromUnicode(item->data.ASIN));
}

void FetchSession::prepareAlertNode(const SearchInputs& in)
{
    AlertNode* group = m_tree.FindGroup(in.itemType);
    if (!group) {
        group = m_tree.AddChild(m_tree.root());
        initAlertRecord(group->data, in.key.keyword, in.key.localization, in.itemType);
        m_tree.Invalidate(group);
    }
    AlertNode* alert = m_tree.FindAlert(group, in.key.keyword, in.key.localization);
    if (!alert) {
        alert = m_tree.AddChild(group);
        initAlertRecord(alert->data, in.key.keyword, in.key.localization, in.itemType);
        m_tree.Invalidate(alert);
    }
    alert->data.NewCount = 0;
    m_tree.Invalidate(alert);
}

FetchSession::ItemMerge FetchSession::mergeItem(const SearchInputs& in, const QDomElement& item, CheckFailure& fault)
{
    AlertNode* alert = findAlertNode(in.key);
    if (!alert)
        return ItemMerge::Gone;
    QString asin;
    try {
        asin = platform::Xml::text(platform::Xml::child(item, QStringLiteral("ASIN")));
    } catch (const platform::XmlError& e) {
        fault.kind = CheckFailure::Kind::Unparseable;
        fault.subject = QStringLiteral("a product");
        fault.message = QString::fromLocal8Bit(e.what());
        return ItemMerge::Unreadable;
    }
    if (knownProduct(alert, in.key, asin))
        return ItemMerge::Merged;
    AlertNode* added = m_tree.InsertFirstChild(alert);
    try {
        ReadItemElement(item, added->data, m_endpoints);
    } catch (const platform::XmlError& e) {
        // Half a record is not kept: the product is new again next time.
        m_tree.DeleteNode(added);
        fault.kind = CheckFailure::Kind::Unparseable;
        fault.subject = QStringLiteral("product ") + asin;
        fault.message = QString::fromLocal8Bit(e.what());
        return ItemMerge::Unreadable;
    }
    added->data.Keyword = in.key.keyword;
    added->data.Localization = in.key.localization;
    added->data.ItemType = in.itemType;
    added->data.IsNew = kTrue;
    added->data.IsRead = kFalse;
    m_tree.Invalidate(added);
    announceNewItem(alert, added);
    if (m_seen)
        m_seen->see(in.key, asin);
    return ItemMerge::Merged;
}

void FetchSession::UpdateStatus(const QByteArray& text)
{
    platform::Synchronize([&] {
        if (m_status)
            m_status(text);
    });
}

CheckFailure FetchSession::SearchKeywordAlert(const QByteArray& itemType, const QByteArray& keyword,
                                              const QByteArray& localization, const DefinitionCheck& stillDefined)
{
    SearchInputs in;
    in.itemType = platform::CodePage::toUnicode(itemType);
    in.key = {in.itemType, platform::CodePage::toUnicode(keyword), platform::CodePage::toUnicode(localization)};

    bool defined = true;
    platform::Synchronize([&] {
        // Checked in the same hand-over that makes the nodes: a deleted alert
        // must not come back.
        defined = !stillDefined || stillDefined();
        if (defined)
            prepareAlertNode(in);
    });
    if (!defined)
        return {};

    CheckFailure failure = loadReply(m_document, ItemSearchUrl(m_endpoints, itemType, keyword, localization));
    if (!failure.failed()) {
        forEachItem(m_document, [&](const QDomElement& item) {
            ItemMerge merged = ItemMerge::Merged;
            CheckFailure fault;
            platform::Synchronize([&] { merged = mergeItem(in, item, fault); });
            // One unreadable product fails the check; the others still count.
            if (merged == ItemMerge::Unreadable && !failure.failed())
                failure = fault;
            return merged != ItemMerge::Gone;
        });
    }
    recordCheck(in.key, failure);
    return failure;
}

void FetchSession::markKnown(AlertNode* item)
{
    item->data.IsNew = kFalse;
    m_tree.Invalidate(item);
}

void FetchSession::forEachItem(const platform::XmlDocument& reply, const std::function<bool(const QDomElement&)>& visit)
{
    const QDomElement items = platform::Xml::child(reply.documentElement(), QStringLiteral("Items"));
    if (!items.hasChildNodes())
        return;
    for (QDomNode n = items.firstChild().nextSibling(); !n.isNull(); n = n.nextSibling()) {
        if (n.isElement() && n.nodeName() == QLatin1String("Item") && !visit(n.toElement()))
            return;
    }
}

} // namespace quobex
