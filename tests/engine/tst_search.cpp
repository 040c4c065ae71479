#include "quobex/engine/FetchSession.h"
#include "quobex/engine/RequestUrls.h"
#include "quobex/engine/ServiceFetch.h"

#include "platform/CodePage.h"
#include "platform/Errors.h"
#include "tests/engine/TestEndpoints.h"
#include "tests/support/FakeWebService.h"
#include "tests/support/Fixtures.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <limits>
#include <memory>

using namespace quobex;
using testsupport::FakeWebService;

Q_DECLARE_METATYPE(quobex::CheckFailure::Kind)

namespace {

QByteArray replyFile(const char* name)
{
    return testsupport::fixture(QStringLiteral("replies/") + QLatin1String(name));
}

// A search reply holding `items` after the request echo.
QByteArray searchReply(const QByteArray& items)
{
    return "<ItemSearchResponse xmlns=\"http://webservices.amazon.com/AWSECommerceService/2005-07-26\">"
           "<OperationRequest><RequestId>1</RequestId></OperationRequest><Items><Request><IsValid>True</IsValid>"
           "</Request>" +
           items + "</Items></ItemSearchResponse>";
}

QByteArray item(const char* asin, const char* title)
{
    return QByteArray("<Item><ASIN>") + asin + "</ASIN><ItemAttributes><Title>" + title +
           "</Title></ItemAttributes></Item>";
}

QStringList asins(const AlertNode* alert)
{
    QStringList out;
    for (int i = 0; i < alert->childCount(); ++i)
        out << alert->child(i)->data.ASIN;
    return out;
}

// Sees every change of the tree, and on which thread it happened.
class Watcher : public AlertTreeObserver {
public:
    QList<const AlertNode*> changed;
    int inserted = 0;
    bool offMainThread = false;

    void nodesInserted(AlertNode*, int, int) override
    {
        ++inserted;
        check();
    }
    void nodeChanged(AlertNode* node) override
    {
        changed.append(node);
        check();
    }

private:
    void check()
    {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            offMainThread = true;
    }
};

} // namespace

class TestSearch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void firstSearchBuildsTheAlert();
    void laterAlertsShareTheGroup();
    void keysAreExact();
    void repeatedSearchAddsNothing();
    void countsWrapAround();
    void productTwiceInOneReply();
    void replyWithoutProducts_data();
    void replyWithoutProducts();
    void unusableReplyEndsTheSearch_data();
    void unusableReplyEndsTheSearch();
    void unreadableProductIsDropped();
    void seenProductsAreNotNewAgain();
    void requestFailureKinds_data();
    void requestFailureKinds();
    void deletedAlertIsNotRecreated_data();
    void deletedAlertIsNotRecreated();
    void searchOverHttp();
    void searchOnAWorker();

private:
    // A null reply stands for a request that failed.
    CheckFailure search(const QByteArray& reply, const QByteArray& itemType = "Books",
                        const QByteArray& keyword = "sample", const QByteArray& localization = "U.S.A.")
    {
        m_session->setFetcher([this, reply](const QByteArray& url) {
            m_urls << url;
            if (reply.isNull())
                throw platform::HttpError("Connection refused");
            return reply;
        });
        return m_session->SearchKeywordAlert(itemType, keyword, localization);
    }
    AlertNode* alertNode(const char* itemType, const char* keyword, const char* localization)
    {
        return m_session->findAlertNode(
            {QString::fromLatin1(itemType), QString::fromLatin1(keyword), QString::fromLatin1(localization)});
    }

    std::unique_ptr<AlertTree> m_tree;
    QList<QByteArray> m_newTitles;
    std::unique_ptr<FetchSession> m_session;
    QList<QByteArray> m_urls;
    Watcher m_watcher;
};

void TestSearch::init()
{
    m_tree = std::make_unique<AlertTree>();
    m_watcher = Watcher();
    m_tree->addObserver(&m_watcher);
    m_newTitles.clear();
    m_urls.clear();
    m_session = std::make_unique<FetchSession>(testEndpoints(), *m_tree, m_newTitles);
}

void TestSearch::cleanup()
{
    m_session.reset();
    m_tree.reset();
}

void TestSearch::firstSearchBuildsTheAlert()
{
    m_session->latestAlertIndex() = {"OLD1", "OLD2"};
    search(replyFile("ItemSearch-reply.xml"), "Books", "sample b\xE9\x62\xE9", "U.S.A.");

    QCOMPARE(m_urls, QList<QByteArray>{ItemSearchUrl(testEndpoints(), "Books", "sample b\xE9\x62\xE9", "U.S.A.")});
    QCOMPARE(m_tree->groupCount(), 1);
    const AlertNode* group = m_tree->root()->firstChild();
    const AlertNode* alert = group->firstChild();
    for (const AlertNode* node : {group, alert}) {
        QCOMPARE(node->data.ItemType, QStringLiteral("Books"));
        QCOMPARE(node->data.Keyword, QStringLiteral("sample b\u00e9b\u00e9"));
        QCOMPARE(node->data.Localization, QStringLiteral("U.S.A."));
        QCOMPARE(node->data.IsNew, kFalse);
        QCOMPARE(node->data.IsRead, kFalse);
        QCOMPARE(node->data.Reserved, -1);
        QCOMPARE(node->data.NewCount, 2);
        QCOMPARE(node->data.UnreadCount, 2);
        QVERIFY(node->data.Title.isEmpty() && node->data.ASIN.isEmpty() && node->data.ProductDetails.isEmpty());
    }
    QCOMPARE(group->childCount(), 1);

    // Newest at the top: the reply's last product is the first child.
    QCOMPARE(asins(alert), (QStringList{QStringLiteral("B000000202"), QStringLiteral("0000000101")}));
    for (int i = 0; i < 2; ++i) {
        const TAlertNodeData& d = alert->child(i)->data;
        QCOMPARE(d.Keyword, alert->data.Keyword);
        QCOMPARE(d.Localization, QStringLiteral("U.S.A."));
        QCOMPARE(d.ItemType, QStringLiteral("Books"));
        QCOMPARE(d.IsNew, kTrue);
        QCOMPARE(d.IsRead, kFalse);
        QCOMPARE(d.Reserved, 0);
        QCOMPARE(d.NewCount, 0);
        QCOMPARE(d.UnreadCount, 0);
        QVERIFY(d.RatingImageURL.startsWith(QLatin1String("http://img.test/")));
        QVERIFY(m_watcher.changed.contains(alert->child(i)));
    }
    QCOMPARE(alert->child(1)->data.Title, QStringLiteral("Learning Sample Programming"));
    QVERIFY(!alert->child(0)->data.Tracks.isEmpty());
    QVERIFY(m_watcher.changed.contains(group) && m_watcher.changed.contains(alert));

    // Titles in reply order; ASINs newest first, in front of the old index.
    QCOMPARE(m_newTitles.size(), 2);
    QCOMPARE(m_newTitles.first(), QByteArray("Learning Sample Programming"));
    QCOMPARE(m_newTitles.last(), platform::CodePage::fromUnicode(alert->child(0)->data.Title));
    QCOMPARE(m_session->latestAlertIndex(), (QList<QByteArray>{"B000000202", "0000000101", "OLD1", "OLD2"}));
}

void TestSearch::laterAlertsShareTheGroup()
{
    search(searchReply(item("A1", "One")), "Books", "first", "U.S.A.");
    search(searchReply(item("A1", "One") + item("A2", "Two")), "Books", "second", "Germany");
    search(searchReply(item("A1", "One")), "Books", "first", "Germany");

    QCOMPARE(m_tree->groupCount(), 1);
    const AlertNode* group = m_tree->root()->firstChild();
    QCOMPARE(group->data.Keyword, QStringLiteral("first"));
    QCOMPARE(group->data.Localization, QStringLiteral("U.S.A."));
    QCOMPARE(group->childCount(), 3);
    QCOMPARE(group->data.NewCount, 4);
    QCOMPARE(group->data.UnreadCount, 4);
    // The same product under two alerts is two item nodes.
    QCOMPARE(asins(alertNode("Books", "first", "U.S.A.")), QStringList{QStringLiteral("A1")});
    QCOMPARE(asins(alertNode("Books", "first", "Germany")), QStringList{QStringLiteral("A1")});
    QCOMPARE(asins(alertNode("Books", "second", "Germany")), (QStringList{QStringLiteral("A2"), QStringLiteral("A1")}));
    QCOMPARE(m_newTitles, (QList<QByteArray>{"One", "One", "Two", "One"}));
}

void TestSearch::keysAreExact()
{
    search(searchReply(item("A1", "One")), "Books", "Harry", "U.S.A.");
    search(searchReply(item("A1", "One")), "books", "Harry", "U.S.A.");
    search(searchReply(item("A1", "One")), "Books", "harry", "U.S.A.");
    search(searchReply(item("A1", "One")), "Books", "Harry", "U.S.A");

    QCOMPARE(m_tree->groupCount(), 2);
    QCOMPARE(m_tree->root()->child(0)->childCount(), 3);
    QCOMPARE(m_tree->root()->child(1)->data.ItemType, QStringLiteral("books"));
    QCOMPARE(m_newTitles.size(), 4);
}

// Counts come from the items file and may hold anything; a new product
// adds one with wrap-around, never a signed overflow.
void TestSearch::countsWrapAround()
{
    search(searchReply(item("B000000001", "First")));
    AlertNode* alert = alertNode("Books", "sample", "U.S.A.");
    AlertNode* group = alert->parent();
    constexpr qint32 most = std::numeric_limits<qint32>::max();
    alert->data.UnreadCount = most;
    group->data.UnreadCount = most;
    group->data.NewCount = most;

    search(searchReply(item("B000000002", "Second")));

    constexpr qint32 least = std::numeric_limits<qint32>::min();
    QCOMPARE(alert->data.UnreadCount, least);
    QCOMPARE(alert->data.NewCount, 1);
    QCOMPARE(group->data.UnreadCount, least);
    QCOMPARE(group->data.NewCount, least);
}

void TestSearch::repeatedSearchAddsNothing()
{
    const QByteArray reply = replyFile("ItemSearch-reply.xml");
    search(reply);
    AlertNode* alert = alertNode("Books", "sample", "U.S.A.");
    m_tree->MarkRead(alert->child(0));
    const TAlertNodeData before = alert->child(0)->data;
    m_newTitles.clear();

    search(reply);

    QCOMPARE(alert->childCount(), 2);
    QCOMPARE(alert->data.NewCount, 0);
    QCOMPARE(alert->data.UnreadCount, 1);
    QCOMPARE(alert->parent()->data.UnreadCount, 1);
    for (int i = 0; i < 2; ++i)
        QCOMPARE(alert->child(i)->data.IsNew, kFalse);
    // Nothing but IsNew changes for a product the alert holds.
    TAlertNodeData expected = before;
    expected.IsNew = kFalse;
    QCOMPARE(alert->child(0)->data, expected);
    QCOMPARE(alert->child(0)->data.IsRead, kTrue);
    QVERIFY(m_newTitles.isEmpty());
    QCOMPARE(m_session->latestAlertIndex().size(), 2);
}

void TestSearch::productTwiceInOneReply()
{
    search(searchReply(item("A1", "One") + item("A2", "Two") + item("A1", "One again")));
    const AlertNode* alert = alertNode("Books", "sample", "U.S.A.");
    QCOMPARE(asins(alert), (QStringList{QStringLiteral("A2"), QStringLiteral("A1")}));
    QCOMPARE(alert->child(1)->data.IsNew, kFalse);
    QCOMPARE(alert->child(1)->data.Title, QStringLiteral("One"));
    QCOMPARE(alert->data.NewCount, 2);
    QCOMPARE(alert->data.UnreadCount, 2);
    QCOMPARE(m_newTitles, (QList<QByteArray>{"One", "Two"}));
}

void TestSearch::replyWithoutProducts_data()
{
    using Kind = CheckFailure::Kind;
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<Kind>("failure");
    QTest::newRow("no match") << replyFile("ItemSearch-no-match.xml") << Kind::None;
    QTest::newRow("error document, no Items") << replyFile("Error-reply.xml") << Kind::ServiceError;
    QTest::newRow("error inside Items")
        << QByteArray("<ItemSearchResponse><Items><Request><IsValid>False</IsValid><Errors><Error>"
                      "<Code>AWS.MissingParameters</Code><Message>Keywords missing</Message></Error></Errors>"
                      "</Request></Items></ItemSearchResponse>")
        << Kind::ServiceError;
    QTest::newRow("empty Items") << QByteArray("<ItemSearchResponse><Items/></ItemSearchResponse>") << Kind::None;
    QTest::newRow("an Item as the first child is never looked at")
        << QByteArray("<ItemSearchResponse><Items>" + item("A1", "One") + "</Items></ItemSearchResponse>")
        << Kind::None;
    QTest::newRow("only Item elements count")
        << searchReply("<item><ASIN>A1</ASIN></item><Items><Item><ASIN>A2</ASIN></Item></Items>stray text<!-- c -->")
        << Kind::None;
}

void TestSearch::replyWithoutProducts()
{
    QFETCH(QByteArray, reply);
    QFETCH(CheckFailure::Kind, failure);
    search(replyFile("ItemSearch-reply.xml"));
    AlertNode* alert = alertNode("Books", "sample", "U.S.A.");
    alert->data.NewCount = 7;
    m_newTitles.clear();

    QCOMPARE(search(reply).kind, failure);

    QCOMPARE(alert->childCount(), 2);
    QCOMPARE(alert->data.NewCount, 0);
    QCOMPARE(alert->data.UnreadCount, 2);
    QCOMPARE(alert->child(0)->data.IsNew, kTrue); // not returned: keeps its flag
    QVERIFY(m_newTitles.isEmpty());
}

void TestSearch::unusableReplyEndsTheSearch_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<CheckFailure::Kind>("failure");
    QTest::newRow("failed request") << QByteArray() << CheckFailure::Kind::NoAnswer;
    QTest::newRow("empty reply") << QByteArray("") << CheckFailure::Kind::Unparseable;
    QTest::newRow("not XML") << QByteArray("<html><body>Service Unavailable") << CheckFailure::Kind::Unparseable;
    QTest::newRow("cut off") << replyFile("ItemSearch-reply.xml").left(2000) << CheckFailure::Kind::Unparseable;
}

void TestSearch::unusableReplyEndsTheSearch()
{
    QFETCH(QByteArray, reply);
    QFETCH(CheckFailure::Kind, failure);
    AlertChecks checks;
    m_session->setRecords(nullptr, &checks);
    search(searchReply(item("A1", "One")), "Books", "other", "U.S.A.");
    m_tree->root()->firstChild()->data.NewCount = 3;

    QCOMPARE(search(reply, "DVD", "never searched", "U.K.").kind, failure);

    // The new group and alert nodes stay, with no products.
    AlertNode* alert = alertNode("DVD", "never searched", "U.K.");
    QVERIFY(alert);
    QCOMPARE(alert->childCount(), 0);
    QCOMPARE(alert->data.Reserved, -1);
    QCOMPARE(m_tree->groupCount(), 2);
    QVERIFY(checks.lastCheckFailed({"DVD", "never searched", "U.K."}));
    QCOMPARE(checks.find({"DVD", "never searched", "U.K."})->failure.kind, failure);
    QVERIFY(!checks.find({"DVD", "never searched", "U.K."})->lastGood.isValid());

    // A known alert is reset before its request, and stays so.
    alertNode("Books", "other", "U.S.A.")->data.NewCount = 5;
    QCOMPARE(search(reply, "Books", "other", "U.S.A.").kind, failure);
    QCOMPARE(alertNode("Books", "other", "U.S.A.")->data.NewCount, 0);
    QCOMPARE(alertNode("Books", "other", "U.S.A.")->childCount(), 1);
    QCOMPARE(m_tree->root()->firstChild()->data.NewCount, 3); // groups are reset by the cycle
    // Its last good check is remembered beside the failure.
    const AlertChecks::Record* record = checks.find({"Books", "other", "U.S.A."});
    QVERIFY(record->lastFailed);
    QVERIFY(record->lastGood.isValid());
    QVERIFY(checks.toolTip({"Books", "other", "U.S.A."}).contains(QStringLiteral("Last good check: ")));
}

void TestSearch::unreadableProductIsDropped()
{
    // A disc without a number cannot be read: that product is not kept (so
    // it is new again next time), the others of the reply still are.
    const QByteArray broken = "<Item><ASIN>A2</ASIN><DetailPageURL>u</DetailPageURL><ItemAttributes><Title>T</Title>"
                              "</ItemAttributes><Tracks><Disc><Track Number=\"1\">x</Track></Disc></Tracks></Item>";
    SeenItems seen;
    m_session->setRecords(&seen, nullptr);
    const CheckFailure failure = search(searchReply(item("A1", "One") + broken + item("A3", "Three")));
    QCOMPARE(failure.kind, CheckFailure::Kind::Unparseable);
    QCOMPARE(failure.subject, QStringLiteral("product A2"));
    AlertNode* alert = alertNode("Books", "sample", "U.S.A.");
    QCOMPARE(asins(alert), (QStringList{QStringLiteral("A3"), QStringLiteral("A1")}));
    QCOMPARE(alert->data.NewCount, 2);
    QCOMPARE(alert->data.UnreadCount, 2);
    QCOMPARE(m_newTitles, (QList<QByteArray>{"One", "Three"}));
    QCOMPARE(m_session->latestAlertIndex(), (QList<QByteArray>{"A3", "A1"}));
    QCOMPARE(seen.list({"Books", "sample", "U.S.A."}), (QStringList{QStringLiteral("A3"), QStringLiteral("A1")}));
}

void TestSearch::seenProductsAreNotNewAgain()
{
    SeenItems seen;
    m_session->setRecords(&seen, nullptr);
    search(searchReply(item("A1", "One") + item("A2", "Two")));
    AlertNode* alert = alertNode("Books", "sample", "U.S.A.");
    m_tree->DeleteNode(alert->child(0)); // A2, as "Delete Entry" or the trimming would
    m_newTitles.clear();
    m_session->latestAlertIndex().clear();

    // Another alert has a list of its own.
    search(searchReply(item("A2", "Two")), "Books", "other", "U.S.A.");
    QCOMPARE(m_newTitles, QList<QByteArray>{"Two"});
    m_newTitles.clear();
    m_session->latestAlertIndex().clear();

    QVERIFY(!search(searchReply(item("A2", "Two") + item("A3", "Three") + item("A1", "One"))).failed());
    QCOMPARE(asins(alert), (QStringList{QStringLiteral("A3"), QStringLiteral("A1")}));
    QCOMPARE(alert->child(1)->data.IsNew, kFalse);
    QCOMPARE(alert->data.NewCount, 1);
    QCOMPARE(m_newTitles, QList<QByteArray>{"Three"});
    QCOMPARE(m_session->latestAlertIndex(), QList<QByteArray>{"A3"});
    // Newest sighting first.
    QCOMPARE(seen.list({"Books", "sample", "U.S.A."}),
             (QStringList{QStringLiteral("A1"), QStringLiteral("A3"), QStringLiteral("A2")}));
}

void TestSearch::requestFailureKinds_data()
{
    using Kind = CheckFailure::Kind;
    QTest::addColumn<QString>("message");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("status");
    QTest::newRow("status") << QStringLiteral("HTTP error 503") << Kind::HttpStatus << 503;
    QTest::newRow("status in other words")
        << QStringLiteral("The requested URL returned error: 404") << Kind::HttpStatus << 404;
    QTest::newRow("time-out") << QStringLiteral("The request timed out") << Kind::TimedOut << 0;
    QTest::newRow("time-out in other words")
        << QStringLiteral("Operation timed out after 30001 milliseconds") << Kind::TimedOut << 0;
    QTest::newRow("time-out as curl says it")
        << QStringLiteral("Timeout was reached: Connection timed out after 300 ms") << Kind::TimedOut << 0;
    QTest::newRow("too slow") << QStringLiteral(
                                     "Operation too slow. Less than 1 bytes/sec transferred the last 30 seconds")
                              << Kind::TimedOut << 0;
    QTest::newRow("refused") << QStringLiteral("Connection refused") << Kind::NoAnswer << 0;
    QTest::newRow("cut off") << QStringLiteral("The request did not complete") << Kind::NoAnswer << 0;
    QTest::newRow("HTTP/1.1 is no status") << QStringLiteral("Bad HTTP/1.1 reply") << Kind::NoAnswer << 0;
}

void TestSearch::requestFailureKinds()
{
    QFETCH(QString, message);
    QFETCH(CheckFailure::Kind, kind);
    QFETCH(int, status);
    const CheckFailure failure = DescribeRequestFailure(message);
    QCOMPARE(failure.kind, kind);
    QCOMPARE(failure.httpStatus, status);
    QCOMPARE(failure.message, message);
}

void TestSearch::deletedAlertIsNotRecreated_data()
{
    QTest::addColumn<bool>("wholeGroup");
    QTest::newRow("alert deleted") << false;
    QTest::newRow("group deleted") << true;
}

void TestSearch::deletedAlertIsNotRecreated()
{
    QFETCH(bool, wholeGroup);
    search(searchReply(item("A1", "One")), "Books", "kept", "U.S.A.");
    m_newTitles.clear();
    // The user deletes the alert while its request is out.
    m_session->setFetcher([this, wholeGroup](const QByteArray&) {
        AlertNode* alert = alertNode("Books", "gone", "U.S.A.");
        m_tree->DeleteNode(wholeGroup ? alert->parent() : alert);
        return searchReply(item("A1", "One") + item("A2", "Two"));
    });
    m_session->SearchKeywordAlert("Books", "gone", "U.S.A.");

    QVERIFY(!alertNode("Books", "gone", "U.S.A."));
    QCOMPARE(m_tree->groupCount(), wholeGroup ? 0 : 1);
    QVERIFY(m_newTitles.isEmpty());
    QCOMPARE(m_session->latestAlertIndex(), QList<QByteArray>{"A1"});
}

void TestSearch::searchOverHttp()
{
    FakeWebService service;
    service.setSearchReply("C++ & more",
                           FakeWebService::Reply::fixture(QStringLiteral("replies/ItemSearch-ten-items.xml")));
    service.setSearchReply("busy", FakeWebService::Reply::error(503, FakeWebService::emptyReply("ItemSearch")));
    FetchSession session(Endpoints::loopback(service.hostAndPort(), service.hostAndPort()), *m_tree, m_newTitles);

    session.SearchKeywordAlert("Blended", "C++ & more", "Germany");

    const QByteArray url = ItemSearchUrl(session.endpoints(), "Blended", "C++ & more", "Germany");
    QCOMPARE(service.targets(), QList<QByteArray>{url.mid(url.indexOf("/onca/xml"))});
    QVERIFY(service.targets().first().contains("&Keywords=C%2B%2B+%26+more&"));
    QCOMPARE(m_tree->root()->firstChild()->firstChild()->childCount(), 10);
    QCOMPARE(m_newTitles.size(), 10);
    QCOMPARE(session.latestAlertIndex().first(), QByteArray("B000001010"));

    // An error status fails the search, whatever body came with it.
    const CheckFailure failure = session.SearchKeywordAlert("Blended", "busy", "Germany");
    QCOMPARE(failure.kind, CheckFailure::Kind::HttpStatus);
    QCOMPARE(failure.httpStatus, 503);
    QCOMPARE(m_tree->root()->firstChild()->childCount(), 2);
}

void TestSearch::searchOnAWorker()
{
    FakeWebService service;
    service.setDefaultReply(
        FakeWebService::Reply::fixture(QStringLiteral("replies/ItemSearch-ten-items.xml")).delayed(50));
    FetchSession session(Endpoints::loopback(service.hostAndPort(), service.hostAndPort()), *m_tree, m_newTitles);

    bool failed = false;
    std::atomic<bool> ended{false};
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            session.SearchKeywordAlert("Books", "one", "U.S.A.");
            session.SearchKeywordAlert("Books", "two", "U.K.");
        } catch (...) {
            failed = true;
        }
        ended.store(true, std::memory_order_release);
    }));
    worker->start();
    // The main thread stays free meanwhile: the window can paint and be used.
    QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 10000);
    // Read after the worker says it has ended (Qt's notice of the end is not
    // visible to ThreadSanitizer).
    QVERIFY(ended.load(std::memory_order_acquire));

    QVERIFY(!failed);
    QVERIFY(!m_watcher.offMainThread);
    QCOMPARE(m_tree->root()->firstChild()->childCount(), 2);
    QCOMPARE(m_tree->root()->firstChild()->data.NewCount, 20);
    QCOMPARE(m_newTitles.size(), 20);
    QCOMPARE(session.latestAlertIndex().size(), 20);
}

QTEST_GUILESS_MAIN(TestSearch)
#include "tst_search.moc"
