#pragma once

#include "quobex/config/Endpoints.h"
#include "quobex/model/AlertTree.h"
#include "quobex/store/AlertChecks.h"
#include "quobex/store/AlertKey.h"
#include "quobex/store/SeenItems.h"

#include "platform/XmlDocument.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace quobex {

// The work of one fetch cycle against the web service. It runs on the fetch
// worker (or inline, on the main thread): requests and XML parsing happen
// on the calling thread, while every read or change of the alert tree and
// of the new-titles list, which belong to the main thread, happens inside a
// platform::Synchronize hand-over. Between hand-overs the session keeps
// keys, never node pointers, so a node the user deleted meanwhile is simply
// not found again: its merge is dropped and the node is not re-created.
//
// Failures stay with what they concern: a request that fails or a reply
// that does not parse or reports an error of the service ends only its
// alert's search or its list; a product whose lookup fails, or whose
// record cannot be read, is dropped (so it is new again next time) and the
// rest goes on. Each operation returns its failure and, when the session
// has check records, records it or the good check for its alert. A worker
// asked to stop gets platform::Interrupted from its next request or
// hand-over.
//
// With a seen list, a product that an alert brought before (cut away by
// KeepArticles, deleted by the user) is passed over rather than made new.
class FetchSession {
public:
    // Sends one request and returns its reply; throws platform::HttpError
    // when it fails.
    using Fetcher = std::function<QByteArray(const QByteArray& url)>;
    // Shows a progress text; runs inside a hand-over.
    using StatusHandler = std::function<void(const QByteArray& text)>;
    // Whether an alert is still defined; runs inside a hand-over.
    using DefinitionCheck = std::function<bool()>;

    // `tree` and `newTitles` are the main thread's and must outlive the
    // session.
    FetchSession(Endpoints endpoints, AlertTree& tree, QList<QByteArray>& newTitles);
    FetchSession(const FetchSession&) = delete;
    FetchSession& operator=(const FetchSession&) = delete;

    const Endpoints& endpoints() const { return m_endpoints; }

    // How requests are sent; RequestServiceReply unless replaced.
    void setFetcher(Fetcher fetcher) { m_fetcher = std::move(fetcher); }
    // The main thread's seen lists and check records, used inside
    // hand-overs only; either may be none.
    void setRecords(SeenItems* seen, AlertChecks* checks)
    {
        m_seen = seen;
        m_checks = checks;
    }
    // The time a check is recorded with; the current time unless replaced.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    // Where progress texts go.
    void setStatusHandler(StatusHandler handler) { m_status = std::move(handler); }
    // Hands a progress text to the status handler.
    void UpdateStatus(const QByteArray& text);

    // The session's own latest-alert index: ASINs of the items it added,
    // newest first, in front of what it was given. Not shared with the
    // main thread.
    QList<QByteArray>& latestAlertIndex() { return m_latestAlertIndex; }

    // Searches one keyword alert (single-byte item type, keyword and
    // localization, as the alert lists hold them) and merges its products:
    // find or create the group and alert nodes, reset the alert's new
    // count, then insert every product the alert node does not hold as a
    // new, unread item at its top; a product it holds is only marked not
    // new. New titles are appended to the new-titles list, new ASINs put at
    // the front of the latest-alert index.
    // When `stillDefined` is given and says no as the nodes are about to be
    // found or made, the alert was deleted meanwhile and nothing happens.
    // Returns the search's failure (kind None: it went well).
    CheckFailure SearchKeywordAlert(const QByteArray& itemType, const QByteArray& keyword,
                                    const QByteArray& localization, const DefinitionCheck& stillDefined = {});

    // The six built-in lists, top sellers then new releases of books, DVDs
    // and music in the U.S. store, each with its own progress text. Every
    // product new under its category is looked up in full with one request
    // before the next entry of the list is merged. Returns how many lists failed.
    int FetchCategories();
    // Finds or makes a category's group node and resets its new count.
    void FindCategoryGroup(const QString& groupName);
    // Finds or makes a category's alert node and resets its new count.
    AlertKey FindCategoryAlert(const QString& groupName, const QString& itemType, const QString& localization);
    // Merges the list of the category of `key` into its alert node. Returns
    // the list's failure, or else that of the first product whose lookup failed.
    CheckFailure FetchBrowseNode(const AlertKey& key);

    // Sends a request and parses its reply into `document`. Returns why that
    // failed: the request, a reply that does not parse, or the service's
    // own error in it.
    CheckFailure loadReply(platform::XmlDocument& document, const QByteArray& url) const;

    // Only inside a hand-over: the alert node of `key`, or none when the
    // group or the alert node does not exist (any more).
    AlertNode* findAlertNode(const AlertKey& key) const;

    // Only inside a hand-over: counts the new `item` below `alert` (new and
    // unread counts of the alert and its group node grow by one, both are
    // repainted) and announces it: its title goes to the end of the
    // new-titles list and its ASIN to the front of the latest-alert index,
    // both as single-byte text. The index is the session's own; touching it
    // in a hand-over is safe because the session's thread waits meanwhile.
    void announceNewItem(AlertNode* alert, const AlertNode* item);

private:
    struct SearchInputs {
        AlertKey key;
        QString itemType;
    };

    enum class EntryMerge { Gone, Known, Added };
    enum class ItemMerge { Gone, Merged, Unreadable };

    // Steps inside one hand-over each.
    void prepareAlertNode(const SearchInputs& inputs);
    ItemMerge mergeItem(const SearchInputs& inputs, const QDomElement& item, CheckFailure& fault);
    // A product the alert brought before: not new again. Marks a node it
    // still holds as not new; true when the product is known either way.
    bool knownProduct(AlertNode* alert, const AlertKey& key, const QString& asin);
    // Records the check of `key`, inside a hand-over, and repaints its node.
    void recordCheck(const AlertKey& key, const CheckFailure& failure);
    AlertNode* findOrMakeCategoryGroup(const QString& groupName);
    EntryMerge mergeListEntry(const AlertKey& key, const QDomElement& entry, const QString& asin,
                              const QString& responseGroup);
    // A product the alert node holds already is only no longer new.
    void markKnown(AlertNode* item);
    // Calls `visit` for every "Item" of the reply's "Items" after the first
    // child, which is the service's echo of the request and never looked
    // at, whatever it is; stops when `visit` returns false.
    static void forEachItem(const platform::XmlDocument& reply, const std::function<bool(const QDomElement&)>& visit);
    // Fills the new product's record from the lookup reply, then counts and
    // announces it. False when the alert node is gone. A record that cannot
    // be read sets `fault`; the product is then dropped.
    bool completeLookedUpItem(const AlertKey& key, const QString& asin, CheckFailure& fault);
    // Removes the new product of a failed lookup: it was never announced.
    void dropNewItem(const AlertKey& key, const QString& asin);

    Endpoints m_endpoints;
    AlertTree& m_tree;
    QList<QByteArray>& m_newTitles;
    QList<QByteArray> m_latestAlertIndex;
    platform::XmlDocument m_document;
    // Item lookups of a category list load here, so the list reply in
    // m_document stays as it was parsed while its walk goes on.
    platform::XmlDocument m_lookupDocument;
    Fetcher m_fetcher;
    StatusHandler m_status;
    SeenItems* m_seen = nullptr;
    AlertChecks* m_checks = nullptr;
    std::function<QDateTime()> m_clock;
};

} // namespace quobex
