// One whole fetch against the fake web service: keyword alerts, the six
// built-in categories with their item lookups, the latest-alert index.

#include "quobex/engine/UpdaterThread.h"
#include "quobex/model/AlertTree.h"

#include "platform/Wait.h"
#include "tests/support/FakeWebService.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ServiceReplies.h"
#include "tests/support/TempDataFolder.h"

#include <QFileInfo>
#include <QTest>

#include <memory>

using namespace quobex;
using testsupport::FakeWebService;
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
    void firstFailedRequestEndsTheCycle();
    void failedLookupLeavesItsProductUncounted();
    void lookupWithoutItsProductStillCounts();
    void productInTwoCategoriesIsTwoNodes();
    void listRequestFollowsTheRecords();
    void indexIsCutToKeepArticles_data();
    void indexIsCutToKeepArticles();
    void userChangesDuringAFetch();
    void stopsWhenAsked();

private:
    TUpdaterThread* makeThread();
    void runInline();
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
    state.keepArticles = [this] { return m_keep; };
    state.showStatus = [this](const QString& text) { m_statuses << text; };
    return new TUpdaterThread(Endpoints::loopback(m_service->hostAndPort(), "127.0.0.1:9"), std::move(state),
                              m_home->dataFolder());
}

void TestFetchCycle::runInline()
{
    std::unique_ptr<TUpdaterThread> thread(makeThread());
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

void TestFetchCycle::firstFailedRequestEndsTheCycle()
{
    m_definitions.KeywordList = {"first", "second"};
    m_definitions.ItemTypeList = {"Books", "DVD"};
    m_definitions.LocalizationList = {"U.S.A.", "U.S.A."};
    m_service->setSearchReply("first", Reply::error(503, "<html>Service Unavailable</html>"));
    testsupport::writeFile(m_home->file(QStringLiteral("quobex_latest_alert_index.dat")), "OLD\r\n");

    runInline();
    QCOMPARE(requestsOf(*m_service), QStringList{QStringLiteral("ItemSearch:first")});
    QCOMPARE(m_statuses, QStringList{QStringLiteral("Fetching results for first (Books, U.S.A.)")});
    QCOMPARE(indexFile(), QByteArray("OLD\r\n"));
    // The nodes made before the request stay.
    const AlertNode* first = alert("Books", "first", "U.S.A.");
    QVERIFY(first);
    QCOMPARE(first->childCount(), 0);
    QCOMPARE(m_tree->groupCount(), 1);
}

void TestFetchCycle::failedLookupLeavesItsProductUncounted()
{
    m_service->setBrowseNodeReply("283155", "TopSellers",
                                  Reply::xml(replies::browseNode("TopSellers", {{"A1", "One"}, {"A2", "Two"}})));
    m_service->setLookupReply("A1", Reply::xml(replies::lookup(replies::item("A1", "One"))).cutOff());

    runInline();
    QCOMPARE(requestsOf(*m_service), (QStringList{kSixLists[0], QStringLiteral("ItemLookup:A1")}));
    const AlertNode* books = alert("Top Sellers", "Books", "U.S.A");
    QCOMPARE(childNames(books), QStringList{QStringLiteral("A1")});
    TAlertNodeData expected;
    expected.ASIN = QStringLiteral("A1");
    expected.Title = QStringLiteral("One");
    expected.Keyword = QStringLiteral("TopSellers");
    expected.Localization = QStringLiteral("U.S.A");
    expected.ItemType = QStringLiteral("Books");
    expected.IsNew = kTrue;
    expected.IsRead = kFalse;
    QCOMPARE(books->child(0)->data, expected);
    QCOMPARE(books->data.NewCount, 0);
    QCOMPARE(books->data.UnreadCount, 0);
    QVERIFY(m_newTitles.isEmpty());
    QVERIFY(!QFileInfo::exists(m_home->file(QStringLiteral("quobex_latest_alert_index.dat"))));
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
