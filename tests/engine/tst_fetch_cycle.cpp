// One whole fetch against the fake web service: keyword alerts, the six
// built-in categories with their item lookups, the latest-alert index.

#include "quobex/engine/UpdaterThread.h"
#include "quobex/model/AlertTree.h"

#include "platform/HttpClient.h"
#include "platform/Wait.h"
#include "tests/support/FakeWebService.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ServiceReplies.h"
#include "tests/support/TempDataFolder.h"

#include <QFileInfo>
#include <QTcpServer>
#include <QTest>

#include <memory>

using namespace quobex;
using testsupport::FakeWebService;

Q_DECLARE_METATYPE(quobex::CheckFailure::Kind)
using Reply = testsupport::FakeWebService::Reply;
namespace replies = testsupport::replies;

namespace {

const QStringList& kCategoryTexts = replies::kCategoryStatusTexts;

QStringList childNames(const AlertNode* node)
{
    QStringList out;
    for (int i = 0; i < node->childCount(); ++i) {
        const TAlertNodeData& d = node->child(i)->data;
        out << (node->child(i)->level() == AlertNode::Group   ? d.ItemType
                : node->child(i)->level() == AlertNode::Alert ? d.Keyword
                                                              : d.ASIN);
    }
    return out;
}

// "Operation:key" of each request, the key being what picks its reply.
QStringList requestsOf(const FakeWebService& service)
{
    QStringList out;
    for (const QByteArray& target : service.targets()) {
        const FakeWebService::Query q = FakeWebService::parseQuery(target);
        const QByteArray op = q.value("Operation");
        QByteArray key = op == "ItemSearch"         ? q.value("Keywords")
                         : op == "BrowseNodeLookup" ? q.value("BrowseNodeId") + "/" + q.value("ResponseGroup")
                                                    : q.value("ItemId");
        out << QString::fromLatin1(op + ":" + key);
    }
    return out;
}

// A loopback port where nobody listens: a request to it is refused.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

const QStringList kSixLists = {
    QStringLiteral("BrowseNodeLookup:283155/TopSellers"), QStringLiteral("BrowseNodeLookup:130/TopSellers"),
    QStringLiteral("BrowseNodeLookup:5174/TopSellers"),   QStringLiteral("BrowseNodeLookup:283155/NewReleases"),
    QStringLiteral("BrowseNodeLookup:130/NewReleases"),   QStringLiteral("BrowseNodeLookup:5174/NewReleases"),
};

} // namespace

class TestFetchCycle : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void firstFetchBuildsTheCategories();
    void secondFetchAddsNothing();
    void keywordAlertsComeFirst();
    void failedAlertDoesNotStopTheFetch();
    void eachFailureFailsOnlyItsOwnPart_data();
    void eachFailureFailsOnlyItsOwnPart();
    void lookupWithoutItsProductStillCounts();
    void productInTwoCategoriesIsTwoNodes();
    void listRequestFollowsTheRecords();
    void indexIsCutToKeepArticles_data();
    void indexIsCutToKeepArticles();
    void userChangesDuringAFetch();
    void stopsWhenAsked();

private:
    TUpdaterThread* makeThread();
    // `fetcher` replaces how the thread's requests are sent.
    void runInline(const FetchSession::Fetcher& fetcher = {});
    void runOnWorker(const std::function<void()>& whileRunning = {});
    AlertNode* alert(const char* group, const char* keyword, const char* localization);
    QByteArray indexFile() const
    {
        return testsupport::readFile(m_home->file(QStringLiteral("quobex_latest_alert_index.dat")));
    }

    std::unique_ptr<testsupport::TempDataFolder> m_home;
    std::unique_ptr<FakeWebService> m_service;
    std::unique_ptr<AlertTree> m_tree;
    AlertDefinitions m_definitions;
    QList<QByteArray> m_newTitles;
    QStringList m_statuses;
    SeenItems m_seen;
    AlertChecks m_checks;
    int m_keep = 20;
};

void TestFetchCycle::init()
{
    m_home = std::make_unique<testsupport::TempDataFolder>();
    m_home->makeDataFolder();
    m_service = std::make_unique<FakeWebService>();
    m_service->setDefaultReply("BrowseNodeLookup", Reply::xml(FakeWebService::emptyReply("BrowseNodeLookup")));
    m_service->setDefaultReply("ItemSearch", Reply::xml(FakeWebService::emptyReply("ItemSearch")));
    m_tree = std::make_unique<AlertTree>();
    m_definitions.clear();
    m_newTitles.clear();
    m_statuses.clear();
    m_seen = SeenItems();
    m_checks = AlertChecks();
    m_keep = 20;
}

void TestFetchCycle::cleanup()
{
    m_service.reset();
    m_tree.reset();
    m_home.reset();
}

TUpdaterThread* TestFetchCycle::makeThread()
{
    TUpdaterThread::MainWindowState state;
    state.tree = m_tree.get();
    state.definitions = &m_definitions;
    state.newTitles = &m_newTitles;
    state.seen = &m_seen;
    state.checks = &m_checks;
    state.keepArticles = [this] { return m_keep; };
    state.showStatus = [this](const QString& text) { m_statuses << text; };
    return new TUpdaterThread(Endpoints::loopback(m_service->hostAndPort(), "127.0.0.1:9"), std::move(state),
                              m_home->dataFolder());
}

void TestFetchCycle::runInline(const FetchSession::Fetcher& fetcher)
{
    std::unique_ptr<TUpdaterThread> thread(makeThread());
    if (fetcher)
        thread->session().setFetcher(fetcher);
    thread->Execute();
}

void TestFetchCycle::runOnWorker(const std::function<void()>& whileRunning)
{
    TUpdaterThread* thread = makeThread();
    bool ended = false;
    connect(thread, &QThread::finished, this, [&] { ended = true; });
    thread->start();
    if (whileRunning)
        whileRunning();
    QVERIFY(platform::WaitWhile([&] { return !ended; }, 5));
}

AlertNode* TestFetchCycle::alert(const char* group, const char* keyword, const char* localization)
{
    AlertNode* g = m_tree->FindGroup(QString::fromLatin1(group));
    return g ? m_tree->FindAlert(g, QString::fromLatin1(keyword), QString::fromLatin1(localization)) : nullptr;
}

void TestFetchCycle::firstFetchBuildsTheCategories()
{
    m_service->setBrowseNodeReply(
        "283155", "TopSellers",
        Reply::xml(replies::browseNode("TopSellers", {{"A1", "Book One"}, {"A2", "Book Two"}})));
    m_service->setBrowseNodeReply("5174", "NewReleases",
                                  Reply::xml(replies::browseNode("NewReleases", {{"M1", "Disc"}})));
    m_service->setLookupReply(
        "A1", Reply::xml(replies::lookup(replies::item("A1", "Title from the lookup",
                                                       "<CustomerReviews><AverageRating>4.5</AverageRating>"
                                                       "</CustomerReviews>"))));
    m_service->setLookupReply("A2", Reply::xml(replies::lookup(replies::item("A2", "Two"))));
    m_service->setLookupReply("M1", Reply::xml(replies::lookup(replies::item("M1", "Disc"))));

    runInline();

    // Each new product is looked up before the next entry of its list.
    QCOMPARE(requestsOf(*m_service),
             (QStringList{kSixLists[0], QStringLiteral("ItemLookup:A1"), QStringLiteral("ItemLookup:A2"), kSixLists[1],
                          kSixLists[2], kSixLists[3], kSixLists[4], kSixLists[5], QStringLiteral("ItemLookup:M1")}));
    QCOMPARE(m_statuses, kCategoryTexts + QStringList{QStringLiteral("Ready.")});
    QCOMPARE(childNames(m_tree->root()), (QStringList{QStringLiteral("Top Sellers"), QStringLiteral("New Releases")}));
    for (int g = 0; g < 2; ++g)
        QCOMPARE(childNames(m_tree->root()->child(g)),
                 (QStringList{QStringLiteral("Books"), QStringLiteral("DVD"), QStringLiteral("Music")}));

    const AlertNode* books = alert("Top Sellers", "Books", "U.S.A");
    QVERIFY(books);
    QCOMPARE(childNames(books), (QStringList{QStringLiteral("A2"), QStringLiteral("A1")}));
    const TAlertNodeData& a1 = books->child(1)->data;
    QCOMPARE(a1.Title, QStringLiteral("Book One")); // from the list, not the lookup
    QCOMPARE(a1.Keyword, QStringLiteral("TopSellers"));
    QCOMPARE(a1.Localization, QStringLiteral("U.S.A"));
    QCOMPARE(a1.ItemType, QStringLiteral("Books"));
    QCOMPARE(a1.IsNew, kTrue);
    QCOMPARE(a1.IsRead, kFalse);
    QCOMPARE(a1.DetailPageURL, QStringLiteral("http://store.test/dp/A1"));
    QVERIFY(a1.RatingImageURL.endsWith(QStringLiteral("/stars-4-5.gif")));
    QCOMPARE(a1.ByLine, QStringLiteral("Ada Example"));
    // No Title entry: the lookup reads no title, so adds no empty one either.
    QCOMPARE(a1.ProductDetails, QStringLiteral("<ul><li><strong>Author</strong>: Ada Example</li>"
                                               "<li><strong>Title</strong>: Title from the lookup</li></ul>"));

    const TAlertNodeData& group = m_tree->root()->child(0)->data;
    QCOMPARE(group.ItemType, QStringLiteral("Top Sellers"));
    QCOMPARE(group.Keyword, QString());
    QCOMPARE(group.IsNew, QString());
    QCOMPARE(group.Reserved, 0);
    QCOMPARE(books->data.Keyword, QStringLiteral("Books"));
    QCOMPARE(books->data.ItemType, QStringLiteral("Books"));
    QCOMPARE(books->data.IsRead, QString());
    QCOMPARE(books->data.NewCount, 2);
    QCOMPARE(books->data.UnreadCount, 2);
    QCOMPARE(group.NewCount, 2);
    QCOMPARE(m_tree->root()->child(1)->data.UnreadCount, 1);

    QCOMPARE(m_newTitles, (QList<QByteArray>{"Book One", "Book Two", "Disc"}));
    QCOMPARE(indexFile(), QByteArray("M1\r\nA2\r\nA1\r\n"));
}

void TestFetchCycle::secondFetchAddsNothing()
{
    m_service->setBrowseNodeReply("130", "TopSellers",
                                  Reply::xml(replies::browseNode("TopSellers", {{"D1", "Film"}, {"D2", "Other"}})));
    m_service->setDefaultReply("ItemLookup", Reply::xml(replies::lookup(replies::item("D1", "Film"))));
    runInline();
    const QByteArray index = indexFile();
    m_service->clearRequests();
    m_newTitles.clear();

    runInline();
    QCOMPARE(requestsOf(*m_service), kSixLists);
    QVERIFY(m_newTitles.isEmpty());
    const AlertNode* dvd = alert("Top Sellers", "DVD", "U.S.A");
    QCOMPARE(childNames(dvd), (QStringList{QStringLiteral("D2"), QStringLiteral("D1")}));
    for (int i = 0; i < dvd->childCount(); ++i)
        QCOMPARE(dvd->child(i)->data.IsNew, kFalse);
    QCOMPARE(dvd->data.NewCount, 0);
    QCOMPARE(dvd->data.UnreadCount, 2); // the running counts only grow; completion recounts
    QCOMPARE(indexFile(), index);
}

void TestFetchCycle::keywordAlertsComeFirst()
{
    m_definitions.KeywordList = {"harry potter", "rock"};
    m_definitions.ItemTypeList = {"Books", "Music"};
    m_definitions.LocalizationList = {"U.S.A.", "U.K."};
    AlertNode* old = m_tree->AddChild(m_tree->root());
    old->data.ItemType = QStringLiteral("Books");
    old->data.NewCount = 5;
    m_service->setSearchReply("harry potter", Reply::xml(replies::search(replies::item("B1", "Wizard"))));

    runInline();
    QCOMPARE(m_statuses.mid(0, 2), (QStringList{QStringLiteral("Fetching results for harry potter (Books, U.S.A.)"),
                                                QStringLiteral("Fetching results for rock (Music, U.K.)")}));
    QCOMPARE(m_statuses.mid(2), kCategoryTexts + QStringList{QStringLiteral("Ready.")});
    QCOMPARE(childNames(m_tree->root()), (QStringList{QStringLiteral("Books"), QStringLiteral("Music"),
                                                      QStringLiteral("Top Sellers"), QStringLiteral("New Releases")}));
    QCOMPARE(old->data.NewCount, 1); // reset when the fetch began, then one product added
    QCOMPARE(requestsOf(*m_service).mid(0, 2),
             (QStringList{QStringLiteral("ItemSearch:harry potter"), QStringLiteral("ItemSearch:rock")}));
}

void TestFetchCycle::failedAlertDoesNotStopTheFetch()
{
    // The first alert's store refuses; every other alert and all six lists
    // are still searched, and the cycle ends as usual.
    m_definitions.KeywordList = {"first", "second"};
    m_definitions.ItemTypeList = {"Books", "DVD"};
    m_definitions.LocalizationList = {"U.K.", "U.S.A."};
    m_service->setSearchReply("second", Reply::xml(replies::search(replies::item("S1", "Second"))));
    testsupport::writeFile(m_home->file(QStringLiteral("quobex_latest_alert_index.dat")), "OLD\r\n");
    Endpoints endpoints = Endpoints::loopback(m_service->hostAndPort(), "127.0.0.1:9");
    endpoints.serviceHostUK = "127.0.0.1:" + QByteArray::number(closedPort());
    TUpdaterThread::MainWindowState state;
    state.tree = m_tree.get();
    state.definitions = &m_definitions;
    state.newTitles = &m_newTitles;
    state.checks = &m_checks;
    state.keepArticles = [this] { return m_keep; };
    state.showStatus = [this](const QString& text) { m_statuses << text; };
    const QDateTime began = QDateTime::currentDateTimeUtc().addMSecs(-1);
    std::unique_ptr<TUpdaterThread>(new TUpdaterThread(endpoints, std::move(state), m_home->dataFolder()))->Execute();

    QCOMPARE(requestsOf(*m_service), QStringList{QStringLiteral("ItemSearch:second")} + kSixLists);
    QCOMPARE(m_statuses.last(), QStringLiteral("Ready."));
    QCOMPARE(indexFile(), QByteArray("S1\r\nOLD\r\n"));
    QCOMPARE(m_newTitles, QList<QByteArray>{"Second"});
    // The nodes made before the request stay.
    const AlertNode* first = alert("Books", "first", "U.K.");
    QVERIFY(first);
    QCOMPARE(first->childCount(), 0);

    const AlertChecks::Record* failed = m_checks.find({"Books", "first", "U.K."});
    QVERIFY(failed && failed->lastFailed);
    QCOMPARE(failed->failure.kind, CheckFailure::Kind::NoAnswer);
    QVERIFY(failed->lastFailure >= began);
    QVERIFY(!m_checks.lastCheckFailed({"DVD", "second", "U.S.A."}));
    QVERIFY(m_checks.find({"DVD", "second", "U.S.A."})->lastGood >= began);
    QVERIFY(m_checks.find({"New Releases", "Music", "U.S.A"})->lastGood >= began);
    QCOMPARE(m_checks.lastFetchFailures(), 1);
    QVERIFY(m_checks.lastFetchEnded() >= began);
}

void TestFetchCycle::eachFailureFailsOnlyItsOwnPart_data()
{
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<CheckFailure::Kind>("kind");
    const QList<QPair<QString, CheckFailure::Kind>> faults = {
        {QStringLiteral("refused"), CheckFailure::Kind::NoAnswer},
        {QStringLiteral("500"), CheckFailure::Kind::HttpStatus},
        {QStringLiteral("time-out"), CheckFailure::Kind::TimedOut},
        {QStringLiteral("cut body"), CheckFailure::Kind::NoAnswer},
        {QStringLiteral("malformed XML"), CheckFailure::Kind::Unparseable},
        {QStringLiteral("service error"), CheckFailure::Kind::ServiceError},
    };
    for (const QString& part : {QStringLiteral("search"), QStringLiteral("list"), QStringLiteral("lookup")}) {
        for (const auto& [fault, kind] : faults)
            QTest::addRow("%s, %s", qPrintable(part), qPrintable(fault)) << part << fault << kind;
    }
}

void TestFetchCycle::eachFailureFailsOnlyItsOwnPart()
{
    QFETCH(QString, part);
    QFETCH(QString, fault);
    QFETCH(CheckFailure::Kind, kind);
    // Two alerts; the Books top sellers list brings L1 and L2.
    m_definitions.KeywordList = {"first", "second"};
    m_definitions.ItemTypeList = {"Books", "Books"};
    m_definitions.LocalizationList = {"U.S.A.", "U.S.A."};
    const QByteArray firstReply = replies::search(replies::item("F1", "First"));
    const QByteArray listReply = replies::browseNode("TopSellers", {{"L1", "List One"}, {"L2", "List Two"}});
    const QByteArray lookupReply = replies::lookup(replies::item("L1", "List One"));
    const auto answerWell = [&] {
        m_service->setDefaultReply("BrowseNodeLookup", Reply::xml(FakeWebService::emptyReply("BrowseNodeLookup")));
        m_service->setSearchReply("first", Reply::xml(firstReply));
        m_service->setSearchReply("second", Reply::xml(replies::search(replies::item("S1", "Second"))));
        m_service->setBrowseNodeReply("283155", "TopSellers", Reply::xml(listReply));
        m_service->setLookupReply("L1", Reply::xml(lookupReply));
        m_service->setLookupReply("L2", Reply::xml(replies::lookup(replies::item("L2", "List Two"))));
    };
    answerWell();

    // The request that fails, what it is answered with, and whose check it is.
    const QByteArray good = part == QLatin1String("search") ? firstReply
                            : part == QLatin1String("list") ? listReply
                                                            : lookupReply;
    const QByteArray marker = part == QLatin1String("search") ? QByteArray("Keywords=first&")
                              : part == QLatin1String("list")
                                  ? QByteArray("BrowseNodeId=283155&ResponseGroup=TopSellers")
                                  : QByteArray("ItemId=L1&");
    const AlertKey owner = part == QLatin1String("search") ? AlertKey{"Books", "first", "U.S.A."}
                                                           : AlertKey{"Top Sellers", "Books", "U.S.A"};
    Reply bad = Reply::xml(good);
    if (fault == QLatin1String("500"))
        bad = Reply::error(500, "<html>Internal Server Error</html>");
    else if (fault == QLatin1String("time-out"))
        bad = Reply::xml(good).delayed(60000); // the service stops it at the end of the test
    else if (fault == QLatin1String("cut body"))
        bad = Reply::xml(good).cutOff();
    else if (fault == QLatin1String("malformed XML"))
        bad = Reply::xml(good.left(good.size() - 20));
    else if (fault == QLatin1String("service error"))
        bad = Reply::fixture(QStringLiteral("replies/Error-reply.xml"));
    if (part == QLatin1String("search"))
        m_service->setSearchReply("first", bad);
    else if (part == QLatin1String("list"))
        m_service->setBrowseNodeReply("283155", "TopSellers", bad);
    else
        m_service->setLookupReply("L1", bad);
    const QByteArray refusedHost = "127.0.0.1:" + QByteArray::number(closedPort());
    const FetchSession::Fetcher fetcher = [&](const QByteArray& url) {
        platform::HttpClient client;
        if (!url.contains(marker))
            return client.get(url);
        if (fault == QLatin1String("refused"))
            return client.get(QByteArray(url).replace(m_service->hostAndPort(), refusedHost));
        if (fault == QLatin1String("time-out"))
            client.setTimeouts(300, 0); // nothing comes: the limit ends it, however slow the machine
        return client.get(url);
    };

    runInline(fetcher);

    // Every other alert and list was searched, and the cycle reached its end.
    const QStringList asked = requestsOf(*m_service);
    QVERIFY(asked.contains(QStringLiteral("ItemSearch:second")));
    for (const QString& list : kSixLists) {
        if (part != QLatin1String("list") || list != kSixLists[0]) // a refused one never arrives
            QVERIFY2(asked.contains(list), qPrintable(list));
    }
    QCOMPARE(m_statuses.last(), QStringLiteral("Ready."));
    QVERIFY(indexFile().contains("S1\r\n"));
    QCOMPARE(m_checks.lastFetchFailures(), 1);
    QVERIFY(!m_checks.lastCheckFailed({"Books", "second", "U.S.A."}));
    const AlertChecks::Record* record = m_checks.find(owner);
    QVERIFY(record && record->lastFailed);
    QCOMPARE(record->failure.kind, kind);
    if (kind == CheckFailure::Kind::HttpStatus)
        QCOMPARE(record->failure.httpStatus, 500);
    if (kind == CheckFailure::Kind::ServiceError)
        QVERIFY(record->failure.message.contains(QStringLiteral("bad")));
    QVERIFY(!m_checks.toolTip(owner).isEmpty());

    const AlertNode* books = alert("Top Sellers", "Books", "U.S.A");
    if (part == QLatin1String("lookup")) {
        // Only that product is dropped: not kept, not announced, not seen.
        QCOMPARE(childNames(books), QStringList{QStringLiteral("L2")});
        QVERIFY(!m_newTitles.contains("List One"));
        QVERIFY(m_newTitles.contains("List Two"));
        QVERIFY(!indexFile().contains("L1"));
        QVERIFY(!m_seen.contains(owner, QStringLiteral("L1")));
        QCOMPARE(books->data.NewCount, 1);
    } else if (part == QLatin1String("list")) {
        QCOMPARE(books->childCount(), 0);
    } else {
        QCOMPARE(alert("Books", "first", "U.S.A.")->childCount(), 0);
    }

    // Once the service answers again, what failed is fetched in full and new.
    m_service->clearReplies();
    answerWell();
    m_service->clearRequests();
    m_newTitles.clear();
    runInline();
    QVERIFY(!m_checks.lastCheckFailed(owner));
    QCOMPARE(m_checks.lastFetchFailures(), 0);
    QVERIFY(m_checks.toolTip(owner).isEmpty());
    const QList<QByteArray> nowNew = part == QLatin1String("search") ? QList<QByteArray>{"First"}
                                     : part == QLatin1String("list") ? QList<QByteArray>{"List One", "List Two"}
                                                                     : QList<QByteArray>{"List One"};
    QCOMPARE(m_newTitles, nowNew);
}

void TestFetchCycle::lookupWithoutItsProductStillCounts()
{
    m_service->setBrowseNodeReply("283155", "NewReleases",
                                  Reply::xml(replies::browseNode("NewReleases", {{"N1", "Fresh"}})));
    m_service->setLookupReply("N1", Reply::xml(replies::lookup(replies::item("OTHER", "Not this one"))));

    runInline();
    const AlertNode* books = alert("New Releases", "Books", "U.S.A");
    QCOMPARE(books->childCount(), 1);
    const TAlertNodeData& n1 = books->child(0)->data;
    QCOMPARE(n1.Keyword, QStringLiteral("NewReleases"));
    QVERIFY(n1.DetailPageURL.isEmpty());
    QVERIFY(n1.RatingImageURL.isEmpty());
    QCOMPARE(books->data.NewCount, 1);
    QCOMPARE(m_newTitles, QList<QByteArray>{"Fresh"});
    QCOMPARE(m_statuses.last(), QStringLiteral("Ready."));
}

void TestFetchCycle::productInTwoCategoriesIsTwoNodes()
{
    m_service->setBrowseNodeReply("283155", "TopSellers",
                                  Reply::xml(replies::browseNode("TopSellers", {{"X", "Both"}})));
    m_service->setBrowseNodeReply("283155", "NewReleases",
                                  Reply::xml(replies::browseNode("NewReleases", {{"X", "Both"}})));
    m_service->setLookupReply("X", Reply::xml(replies::lookup(replies::item("X", "Both"))));

    runInline();
    QCOMPARE(requestsOf(*m_service).count(QStringLiteral("ItemLookup:X")), 2);
    QCOMPARE(alert("Top Sellers", "Books", "U.S.A")->child(0)->data.Keyword, QStringLiteral("TopSellers"));
    QCOMPARE(alert("New Releases", "Books", "U.S.A")->child(0)->data.Keyword, QStringLiteral("NewReleases"));
    QCOMPARE(m_newTitles, (QList<QByteArray>{"Both", "Both"}));
    QCOMPARE(indexFile(), QByteArray("X\r\nX\r\n"));
}

void TestFetchCycle::listRequestFollowsTheRecords()
{
    // A category alert node as an items file may hold it: its item type
    // differs from its keyword. The list asked for follows the item type,
    // and a product it holds already is only marked: nothing else of its
    // entry is read, not even a title the service got wrong.
    AlertNode* group = m_tree->AddChild(m_tree->root());
    group->data.ItemType = QStringLiteral("Top Sellers");
    AlertNode* books = m_tree->AddChild(group);
    books->data.Keyword = QStringLiteral("Books");
    books->data.Localization = QStringLiteral("U.S.A");
    books->data.ItemType = QStringLiteral("Video"); // a type without a browse node
    AlertNode* held = m_tree->InsertFirstChild(books);
    held->data.ASIN = QStringLiteral("H1");
    held->data.IsNew = kTrue;
    m_service->setBrowseNodeReply(
        "", "TopSellers",
        Reply::xml(replies::wrap("BrowseNodeLookup", "<BrowseNodes><Request/><BrowseNode><TopSellers><TopSeller>"
                                                     "<ASIN>H1</ASIN><Title><b>odd</b></Title></TopSeller>"
                                                     "</TopSellers></BrowseNode></BrowseNodes>")));

    runInline();
    QCOMPARE(requestsOf(*m_service).first(), QStringLiteral("BrowseNodeLookup:/TopSellers"));
    QCOMPARE(held->data.IsNew, kFalse);
    QCOMPARE(books->childCount(), 1);
    QCOMPARE(m_statuses.last(), QStringLiteral("Ready."));
}

void TestFetchCycle::indexIsCutToKeepArticles_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    // Three new products, KeepArticles 5.
    QTest::newRow("exactly KeepArticles") << QByteArray("O1\r\nO2\r\n") << QByteArray("P3\r\nP2\r\nP1\r\nO1\r\nO2\r\n");
    QTest::newRow("three too many") << QByteArray("O1\r\nO2\r\nO3\r\nO4\r\nO5\r\n")
                                    << QByteArray("P3\r\nP2\r\nP1\r\nO1\r\nO2\r\n");
    QTest::newRow("no file yet") << QByteArray() << QByteArray("P3\r\nP2\r\nP1\r\n");
}

void TestFetchCycle::indexIsCutToKeepArticles()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    if (!before.isEmpty())
        testsupport::writeFile(m_home->file(QStringLiteral("quobex_latest_alert_index.dat")), before);
    m_keep = 5;
    m_definitions.KeywordList = {"k"};
    m_definitions.ItemTypeList = {"Books"};
    m_definitions.LocalizationList = {"U.S.A."};
    m_service->setSearchReply("k", Reply::xml(replies::search(replies::item("P1", "1") + replies::item("P2", "2") +
                                                              replies::item("P3", "3"))));
    runInline();
    QCOMPARE(indexFile(), after);
}

void TestFetchCycle::userChangesDuringAFetch()
{
    m_definitions.KeywordList = {"slow", "doomed", "kept"};
    m_definitions.ItemTypeList = {"Books", "DVD", "Books"};
    m_definitions.LocalizationList = {"U.S.A.", "U.S.A.", "U.S.A."};
    m_service->setSearchReply("slow", Reply::xml(replies::search(replies::item("S1", "Late"))).delayed(400));
    m_service->setSearchReply("kept", Reply::xml(replies::search(replies::item("K1", "Kept"))));

    runOnWorker([&] {
        // While the first search waits for its reply: its alert is deleted
        // (definition and node, as the delete command does), so is the next
        // one, not searched yet, and a new one is added.
        QVERIFY(platform::WaitWhile([&] { return !alert("Books", "slow", "U.S.A."); }, 5));
        for (int i = 0; i < 2; ++i) {
            m_definitions.KeywordList.removeAt(0);
            m_definitions.ItemTypeList.removeAt(0);
            m_definitions.LocalizationList.removeAt(0);
        }
        m_tree->DeleteNode(alert("Books", "slow", "U.S.A."));
        m_definitions.KeywordList.append("added");
        m_definitions.ItemTypeList.append("Books");
        m_definitions.LocalizationList.append("U.S.A.");
    });

    QVERIFY(!alert("Books", "slow", "U.S.A.")); // not re-created by the merge
    QCOMPARE(m_tree->FindGroup(QStringLiteral("DVD")), nullptr);
    QCOMPARE(m_newTitles, QList<QByteArray>{"Kept"});
    // The alert that moved up in the lists is still searched, the added one waits.
    QCOMPARE(requestsOf(*m_service).mid(0, 2),
             (QStringList{QStringLiteral("ItemSearch:slow"), QStringLiteral("ItemSearch:kept")}));
    QVERIFY(!requestsOf(*m_service).contains(QStringLiteral("ItemSearch:added")));
    QVERIFY(!requestsOf(*m_service).contains(QStringLiteral("ItemSearch:doomed")));
    QCOMPARE(m_statuses.last(), QStringLiteral("Ready."));
}

void TestFetchCycle::stopsWhenAsked()
{
    m_definitions.KeywordList = {"slow"};
    m_definitions.ItemTypeList = {"Books"};
    m_definitions.LocalizationList = {"U.S.A."};
    m_service->setSearchReply("slow", Reply::xml(replies::search(replies::item("S1", "Late"))).delayed(3000));
    QElapsedTimer clock;
    clock.start();
    TUpdaterThread* thread = makeThread();
    bool ended = false;
    connect(thread, &QThread::finished, this, [&] { ended = true; });
    thread->start();
    QVERIFY(platform::WaitWhile([&] { return m_statuses.isEmpty(); }, 5));
    thread->requestInterruption();
    QVERIFY(platform::WaitWhile([&] { return !ended; }, 5));
    QVERIFY(clock.elapsed() < 2000);
    QVERIFY(!QFileInfo::exists(m_home->file(QStringLiteral("quobex_latest_alert_index.dat"))));
    QCOMPARE(m_tree->FindGroup(QStringLiteral("Top Sellers")), nullptr);
}

QTEST_GUILESS_MAIN(TestFetchCycle)
#include "tst_fetch_cycle.moc"
