// The stand-in service read by the program's own request, fetch and reading
// code: what a person trying Quobex against it sees is what these check.

#include "quobex/engine/FetchSession.h"
#include "quobex/engine/ItemReader.h"
#include "quobex/engine/ServiceFetch.h"
#include "quobex/model/AlertTree.h"

#include "platform/CodePage.h"
#include "platform/XmlDocument.h"
#include "standin/Pictures.h"
#include "standin/StandinServer.h"
#include "standin/StoreService.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using quobex::AlertNode;
using quobex::AlertTree;
using quobex::FetchSession;
using standin::Store;

namespace {

QString localizationOf(Store store)
{
    switch (store) {
    case Store::US:
        return QStringLiteral("U.S.A.");
    case Store::CA:
        return QStringLiteral("Canada");
    case Store::UK:
        return QStringLiteral("U.K.");
    case Store::DE:
        return QStringLiteral("Germany");
    case Store::FR:
        return QStringLiteral("France");
    case Store::JP:
        return QStringLiteral("Japan");
    }
    return {};
}

const AlertNode* childWhere(const AlertNode* parent, const std::function<bool(const AlertNode*)>& match)
{
    for (int i = 0; i < parent->childCount(); ++i) {
        if (match(parent->child(i)))
            return parent->child(i);
    }
    return nullptr;
}

} // namespace

class TestStandin : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void searchInEveryStore_data();
    void searchInEveryStore();
    void nonAsciiKeywordAndTitles_data();
    void nonAsciiKeywordAndTitles();
    void builtInListsAreLookedUp();
    void refusedRequests_data();
    void refusedRequests();
    void refusedSearchMergesNothing();
    void newProductsAppearOverTime();
    void makersServer();
    void pictures();
    void programServesLogsAndEndsOnSigterm();

private:
    quobex::Endpoints endpoints() const;
    // Runs one keyword search through the program's fetch code and returns
    // its alert node.
    const AlertNode* searchAlert(const QByteArray& itemType, const QByteArray& keyword, const QByteArray& localization);

    std::unique_ptr<standin::StandinServer> m_server;
    std::unique_ptr<AlertTree> m_tree;
    QList<QByteArray> m_newTitles;
};

// One stand-in for every case: each starts from minute 0 on a tree of its own.
void TestStandin::initTestCase()
{
    standin::StandinOptions options;
    options.cataloguePath = QStringLiteral(QUOBEX_STANDIN_CATALOGUE);
    options.downloads = QStringLiteral(QUOBEX_STANDIN_DOWNLOADS);
    options.announcedVersion = "1.0.9.0";
    options.fixedMinutes = 0;
    m_server = std::make_unique<standin::StandinServer>(options);
    m_server->start();
}

void TestStandin::cleanupTestCase()
{
    m_server.reset();
}

void TestStandin::init()
{
    m_server->setFixedMinutes(0);
    m_tree = std::make_unique<AlertTree>();
    m_newTitles.clear();
}

quobex::Endpoints TestStandin::endpoints() const
{
    quobex::Endpoints e = quobex::Endpoints::loopback(m_server->hostAndPort(m_server->imagePort()),
                                                      m_server->hostAndPort(m_server->makerPort()));
    e.serviceHostUS = m_server->hostAndPort(m_server->storePort(Store::US));
    e.serviceHostCA = m_server->hostAndPort(m_server->storePort(Store::CA));
    e.serviceHostUK = m_server->hostAndPort(m_server->storePort(Store::UK));
    e.serviceHostDE = m_server->hostAndPort(m_server->storePort(Store::DE));
    e.serviceHostFR = m_server->hostAndPort(m_server->storePort(Store::FR));
    e.serviceHostJP = m_server->hostAndPort(m_server->storePort(Store::JP));
    return e;
}

const AlertNode* TestStandin::searchAlert(const QByteArray& itemType, const QByteArray& keyword,
                                          const QByteArray& localization)
{
    FetchSession session(endpoints(), *m_tree, m_newTitles);
    session.SearchKeywordAlert(itemType, keyword, localization);
    const QString type = platform::CodePage::toUnicode(itemType);
    const QString word = platform::CodePage::toUnicode(keyword);
    const QString place = platform::CodePage::toUnicode(localization);
    const AlertNode* group = childWhere(m_tree->root(), [&](const AlertNode* n) { return n->data.ItemType == type; });
    if (!group)
        return nullptr;
    return childWhere(group,
                      [&](const AlertNode* n) { return n->data.Keyword == word && n->data.Localization == place; });
}

void TestStandin::searchInEveryStore_data()
{
    QTest::addColumn<int>("store");
    QTest::addColumn<QString>("itemType");
    for (const Store store : standin::kStores) {
        for (const char* type : {"Blended", "Books", "Music"}) {
            QTest::addRow("%s %s", standin::storeName(store).constData(), type)
                << int(store) << QString::fromLatin1(type);
        }
    }
}

// Every product the stand-in finds arrives in the tree with the slots the
// details page shows, in the store's own price format.
void TestStandin::searchInEveryStore()
{
    QFETCH(int, store);
    QFETCH(QString, itemType);
    const Store s = Store(store);
    // A keyword the store's catalogue has products for.
    QString keyword;
    for (const standin::CatalogueEntry& entry : m_server->catalogue().entries()) {
        if (entry.store == s && entry.appears == 0 &&
            (itemType == QLatin1String("Blended") || entry.index == itemType) &&
            platform::CodePage::toUnicode(platform::CodePage::fromUnicode(entry.keywords)) == entry.keywords) {
            keyword = entry.keywords;
            break;
        }
    }
    QVERIFY2(!keyword.isEmpty(), "the catalogue has nothing to search for in this store");
    const QList<const standin::CatalogueEntry*> expected = m_server->catalogue().search(s, itemType, keyword, 0);
    QVERIFY(!expected.isEmpty());

    const AlertNode* alert =
        searchAlert(itemType.toLatin1(), platform::CodePage::fromUnicode(keyword), localizationOf(s).toLatin1());
    QVERIFY(alert);
    const int shown = int(std::min<qsizetype>(expected.size(), standin::Catalogue::kSearchPageSize));
    QCOMPARE(alert->childCount(), shown);
    QCOMPARE(alert->data.NewCount, shown);
    bool sawTracks = false;
    for (int i = 0; i < shown; ++i) {
        // The first product of the reply ends up at the bottom.
        const standin::CatalogueEntry& entry = *expected[i];
        const quobex::TAlertNodeData& record = alert->child(shown - 1 - i)->data;
        QCOMPARE(record.ASIN, entry.asin);
        QCOMPARE(record.Title, entry.title);
        QCOMPARE(record.ByLine, entry.byline);
        QCOMPARE(record.ListPrice, standin::formatPrice(s, entry.listPrice));
        QCOMPARE(record.Price, standin::formatPrice(s, entry.lowestNewPrice));
        QVERIFY(
            record.DetailPageURL.startsWith(QLatin1String("http://") + m_server->hostAndPort(m_server->imagePort())));
        QVERIFY(record.ImageURL.endsWith(entry.asin + QLatin1String(".01._SCMZZZZZZZ_.jpg")));
        QCOMPARE(record.RatingImageURL,
                 quobex::RatingImageURL(entry.averageRating, m_server->hostAndPort(m_server->imagePort())));
        QVERIFY(record.EditorialReview.contains(u'<')); // the markup the details page shows
        QVERIFY(record.Offers.contains(QLatin1String("LowestNewPrice")));
        QVERIFY(record.ProductDetails.contains(QLatin1String("<strong>Title</strong>")));
        QCOMPARE(record.Tracks.isEmpty(), entry.discs.isEmpty());
        sawTracks = sawTracks || !record.Tracks.isEmpty();
    }
    if (itemType == QLatin1String("Music"))
        QVERIFY(sawTracks);
}

void TestStandin::nonAsciiKeywordAndTitles_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("localization");
    QTest::newRow("German") << QStringLiteral("Küche") << QStringLiteral("Germany");
    QTest::newRow("French") << QStringLiteral("été") << QStringLiteral("France");
    QTest::newRow("Japanese") << QStringLiteral("space") << QStringLiteral("Japan");
}

// Keywords go out in the system code page, titles come back in UTF-8; both
// arrive whole.
void TestStandin::nonAsciiKeywordAndTitles()
{
    QFETCH(QString, keyword);
    QFETCH(QString, localization);
    const AlertNode* alert =
        searchAlert("Blended", platform::CodePage::fromUnicode(keyword), platform::CodePage::fromUnicode(localization));
    QVERIFY(alert);
    QVERIFY(alert->childCount() > 0);
    for (int i = 0; i < alert->childCount(); ++i) {
        const QString title = alert->child(i)->data.Title;
        const bool nonAscii = std::any_of(title.begin(), title.end(), [](QChar c) { return c.unicode() > 0x7F; });
        QVERIFY2(nonAscii, qPrintable(title));
    }
    QCOMPARE(alert->data.Keyword, keyword);
}

// The six built-in lists are filled, and every listed product is looked up
// in full.
void TestStandin::builtInListsAreLookedUp()
{
    FetchSession session(endpoints(), *m_tree, m_newTitles);
    session.FetchCategories();
    QCOMPARE(m_tree->root()->childCount(), 2);
    for (int g = 0; g < 2; ++g) {
        const AlertNode* group = m_tree->root()->child(g);
        QCOMPARE(group->childCount(), 3);
        for (int a = 0; a < 3; ++a) {
            const AlertNode* alert = group->child(a);
            QCOMPARE(alert->childCount(), standin::Catalogue::kListLength);
            for (int i = 0; i < alert->childCount(); ++i) {
                const quobex::TAlertNodeData& item = alert->child(i)->data;
                QVERIFY2(!item.Price.isEmpty() && !item.DetailPageURL.isEmpty() && !item.ImageURL.isEmpty(),
                         qPrintable(item.ASIN));
                QCOMPARE(item.ItemType, alert->data.ItemType);
            }
        }
    }
    QCOMPARE(m_newTitles.size(), 6 * standin::Catalogue::kListLength);
}

void TestStandin::refusedRequests_data()
{
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("rootName");
    QTest::addColumn<QByteArray>("code");
    const QByteArray common = "Service=AWSECommerceService&Version=2005-07-26&SubscriptionId=S&";
    QTest::newRow("unknown search index")
        << common + "Operation=ItemSearch&SearchIndex=Nonsense&Keywords=jazz" << QByteArray("ItemSearchErrorResponse")
        << QByteArray("AWS.InvalidEnumeratedParameter");
    QTest::newRow("no keywords") << common + "Operation=ItemSearch&SearchIndex=Books&Keywords="
                                 << QByteArray("ItemSearchErrorResponse")
                                 << QByteArray("AWS.MinimumParameterRequirement");
    QTest::newRow("unknown operation") << common + "Operation=CartCreate" << QByteArray("UnknownErrorResponse")
                                       << QByteArray("AWS.InvalidOperationParameter");
    QTest::newRow("no subscription") << QByteArray("Service=AWSECommerceService&Operation=ItemLookup&ItemId=1")
                                     << QByteArray("ItemLookupErrorResponse") << QByteArray("AWS.MissingParameters");
    QTest::newRow("no match") << common + "Operation=ItemSearch&SearchIndex=Books&Keywords=zzqx"
                              << QByteArray("ItemSearchResponse") << QByteArray("AWS.ECommerceService.NoExactMatches");
    QTest::newRow("unknown ASIN") << common + "Operation=ItemLookup&ItemId=0000000000"
                                  << QByteArray("ItemLookupResponse") << QByteArray("AWS.InvalidParameterValue");
    QTest::newRow("unknown browse node") << common + "Operation=BrowseNodeLookup&BrowseNodeId=&ResponseGroup=TopSellers"
                                         << QByteArray("BrowseNodeLookupResponse")
                                         << QByteArray("AWS.InvalidParameterValue");
}

// What the service refused it answered with a well-formed error document:
// the program reads it and merges nothing.
void TestStandin::refusedRequests()
{
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, rootName);
    QFETCH(QByteArray, code);
    const QByteArray url = "http://" + m_server->hostAndPort(m_server->storePort(Store::US)) + "/onca/xml?" + query;
    const QByteArray reply = quobex::FetchServiceReply(url);
    QVERIFY(!reply.isEmpty());
    platform::XmlDocument document;
    document.load(reply);
    QCOMPARE(document.documentElement().tagName().toLatin1(), rootName);
    QVERIFY(reply.contains("<Code>" + code + "</Code>"));
}

void TestStandin::refusedSearchMergesNothing()
{
    const AlertNode* alert = searchAlert("Nonsense", "jazz", "U.S.A.");
    QVERIFY(alert);
    QCOMPARE(alert->childCount(), 0);
    QVERIFY(m_newTitles.isEmpty());
}

// A user who keeps the program running sees new products arrive.
void TestStandin::newProductsAppearOverTime()
{
    const AlertNode* alert = searchAlert("Blended", "garden", "U.S.A.");
    QVERIFY(alert);
    const int before = alert->childCount();
    QCOMPARE(alert->data.NewCount, before);

    m_server->setFixedMinutes(60);
    alert = searchAlert("Blended", "garden", "U.S.A.");
    QVERIFY(alert->data.NewCount > 0);
    QCOMPARE(alert->childCount(), before + alert->data.NewCount);

    // The top sellers move on now and then.
    const auto list = [&](int minute) {
        QStringList asins;
        for (const auto* entry : m_server->catalogue().topSellers(Store::US, QStringLiteral("Books"), minute))
            asins << entry->asin;
        return asins;
    };
    QCOMPARE(list(0), list(standin::Catalogue::kTopSellerMinutes - 1));
    QVERIFY(list(0) != list(standin::Catalogue::kTopSellerMinutes));
}

void TestStandin::makersServer()
{
    const QByteArray maker = "http://" + m_server->hostAndPort(m_server->makerPort());
    QCOMPARE(quobex::FetchServiceReply(maker + "/exe/download/version.txt"), QByteArray("1.0.9.0"));
    const int before = m_server->makerSite().pingCount();
    quobex::FetchServiceReply(maker + "/exe/ping.php");
    quobex::FetchServiceReply(maker + "/exe/ping.php");
    QCOMPARE(m_server->makerSite().pingCount(), before + 2);
    QVERIFY(quobex::FetchServiceReply(maker + "/status")
                .contains("<b id=\"pings\">" + QByteArray::number(before + 2) + "</b>"));
    for (const char* path : {"/exe/help/index.html", "/tell/index.php", "/main/contact.php",
                             "/exe/frame/frame.php?keyword=jazz&type=Music&url=x", "/exe/download/changes.html"}) {
        QVERIFY2(quobex::FetchServiceReply(maker + path).startsWith("<html>"), path);
    }
    const QByteArray installer = quobex::FetchServiceReply(maker + "/exe/download/setup.exe");
    QVERIFY(installer.startsWith("#!/bin/sh"));
    const QByteArray signature = quobex::FetchServiceReply(maker + "/exe/download/setup.exe.minisig");
    QVERIFY(signature.startsWith("untrusted comment:"));
    QVERIFY(quobex::FetchServiceReply(maker + "/no/such/page").isEmpty()); // a 404
}

void TestStandin::pictures()
{
    const QByteArray images = "http://" + m_server->hostAndPort(m_server->imagePort());
    const standin::CatalogueEntry& entry = m_server->catalogue().entries().first();
    QImage cover = QImage::fromData(
        quobex::FetchServiceReply(images + "/images/P/" + entry.asin.toLatin1() + ".01._SCMZZZZZZZ_.jpg"));
    QCOMPARE(cover.size(), QSize(107, 160));
    QImage stars = QImage::fromData(quobex::FetchServiceReply(
        quobex::RatingImageURL(QStringLiteral("4.5"), m_server->hostAndPort(m_server->imagePort())).toLatin1()));
    QCOMPARE(stars.size(), QSize(64, 12));
    QVERIFY(standin::starPicture(QStringLiteral("6-0")).isEmpty());
    QVERIFY(quobex::FetchServiceReply(images + "/exec/obidos/ASIN/" + entry.asin.toLatin1() + "/" +
                                      standin::storeName(entry.store).toLower())
                .contains(entry.title.toHtmlEscaped().toUtf8()));
}

// The program itself: listens on the ports it reports, logs each request
// and ends cleanly on SIGTERM.
void TestStandin::programServesLogsAndEndsOnSigterm()
{
    QTemporaryDir dir;
    const QString portsFile = dir.filePath(QStringLiteral("ports.txt"));
    QProcess program;
    program.setProcessChannelMode(QProcess::SeparateChannels);
    program.start(QStringLiteral(QUOBEX_STANDIN_EXE),
                  {QStringLiteral("--base-port"), QStringLiteral("0"), QStringLiteral("--ports-file"), portsFile,
                   QStringLiteral("--announce-version"), QStringLiteral("2.0.0.1")});
    QVERIFY(program.waitForStarted(10000));
    const auto cleanup = qScopeGuard([&] {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(10000);
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(QFile(portsFile).size() > 0 || program.state() == QProcess::NotRunning, 20000);
    QFile ports(portsFile);
    QVERIFY(ports.open(QIODevice::ReadOnly));
    QMap<QByteArray, QByteArray> port;
    for (const QByteArray& line : ports.readAll().split('\n')) {
        if (line.contains('='))
            port.insert(line.left(line.indexOf('=')), line.mid(line.indexOf('=') + 1));
    }
    QCOMPARE(port.size(), 8);
    QCOMPARE(quobex::FetchServiceReply("http://127.0.0.1:" + port.value("maker") + "/exe/download/version.txt"),
             QByteArray("2.0.0.1"));
    const QByteArray search = quobex::FetchServiceReply(
        "http://127.0.0.1:" + port.value("jp") +
        "/onca/"
        "xml?Service=AWSECommerceService&SubscriptionId=S&Operation=ItemSearch&SearchIndex=Blended&Keywords=space");
    QVERIFY(search.contains("<Item>"));

    program.terminate(); // SIGTERM
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QByteArray log = program.readAllStandardError();
    QVERIFY2(log.contains("maker GET /exe/download/version.txt -> 200"), log.constData());
    QVERIFY(log.contains("store-JP GET /onca/xml?"));
}

QTEST_MAIN(TestStandin)
#include "tst_standin.moc"
