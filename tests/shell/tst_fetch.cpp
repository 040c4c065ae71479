// Fetches through the real main window against the fake web service: what
// starts them, how they wait for each other, and what the user is told.

#include "platform/ui/WebView.h"
#include "quobex/settings/NumberEdit.h"
#include "quobex/settings/Settings.h"
#include "quobex/shell/MainForm.h"
#include "quobex/store/AddAlert.h"
#include "quobex/store/AlertTreeModel.h"
#include "quobex/store/AlertTreeView.h"
#include "quobex/store/ItemsFile.h"
#include "quobex/store/LatestAlertsGrid.h"
#include "quobex/store/NodeKey.h"

#include "platform/Wait.h"
#include "tests/support/AppHarness.h"
#include "tests/support/FakeWebService.h"
#include "tests/support/FilePermissions.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ServiceReplies.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

using quobex::AlertNode;
using quobex::TfrmMainForm;
using testsupport::AppHarness;
using testsupport::FakeWebService;
using Reply = testsupport::FakeWebService::Reply;
namespace replies = testsupport::replies;

namespace {

const QStringList& kCategoryTexts = replies::kCategoryStatusTexts;

QStringList texts(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out << args.at(0).toString();
    return out;
}

} // namespace

class TestFetch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void fetchTellsTheUser();
    void fetchThatAddsNothingStaysQuiet();
    void switchesSuppressTheirSignal_data();
    void switchesSuppressTheirSignal();
    void checkNowDuringAFetchWaitsForIt();
    void requestDuringTheCompletionRunsAfterIt();
    void failedFirstRequestDoesNotStopTheFetch();
    void endingDuringAFetchGivesItUp();
    void addedAlertIsSearchedAndStored();
    void completionKeepsTheNewestItems();
    void deletesDuringAFetch();
    void failedReloadKeepsTheTreeJustSaved();
    void productsAreAnnouncedOnce();
    void givenUpFetchKeepsWhatItSaw();
    void oldDataFolderLoadsAndFetchesAsBefore();
    void failedAlertIsMarked();
    void readingSurvivesAFetch();
    void productGoneAfterAFetchShowsHelp();
    void unreadableIndexIsKeptAndReportedOnce();

private:
    TfrmMainForm* start();
    void fetchAndWait();
    void writeDefinitions(const QByteArray& keywords, const QByteArray& itemTypes, const QByteArray& localizations);
    // The program ends as "Exit" ends it and starts again over the same data folder.
    TfrmMainForm* restart();

    std::unique_ptr<FakeWebService> m_service;
    std::unique_ptr<AppHarness> m_app;
};

void TestFetch::init()
{
    m_service = std::make_unique<FakeWebService>();
    m_service->setDefaultReply("BrowseNodeLookup", Reply::xml(FakeWebService::emptyReply("BrowseNodeLookup")));
    m_service->setDefaultReply("ItemSearch", Reply::xml(FakeWebService::emptyReply("ItemSearch")));
    m_service->setBrowseNodeReply(
        "283155", "TopSellers",
        Reply::xml(replies::browseNode("TopSellers", {{"A1", "Book One"}, {"A2", "Book Two"}})));
    m_service->setDefaultReply(
        "ItemLookup", Reply::xml(replies::lookup(replies::item("A1", "Book One") + replies::item("A2", "Book Two"))));
    m_app = std::make_unique<AppHarness>();
    m_app->endpoints = quobex::Endpoints::loopback(m_service->hostAndPort(), "127.0.0.1:9");
}

void TestFetch::cleanup()
{
    m_app.reset();
    m_service.reset();
}

TfrmMainForm* TestFetch::start()
{
    m_app->start();
    return m_app->form();
}

void TestFetch::fetchAndWait()
{
    TfrmMainForm* form = m_app->form();
    form->QueryAmazonNow2->trigger();
    QVERIFY(form->Busy);
    QVERIFY(platform::WaitWhile([form] { return form->Busy; }, 5));
}

void TestFetch::writeDefinitions(const QByteArray& keywords, const QByteArray& itemTypes,
                                 const QByteArray& localizations)
{
    m_app->home.makeDataFolder();
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_keyword_config.dat")), keywords);
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_itemtype_config.dat")), itemTypes);
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_localization_config.dat")), localizations);
}

TfrmMainForm* TestFetch::restart()
{
    TfrmMainForm* form = m_app->form();
    const int ends = m_app->endRequests;
    form->Exit2->trigger();
    if (m_app->endRequests != ends + 1)
        return nullptr;
    m_app->destroy();
    m_app->start();
    return m_app->form();
}

void TestFetch::fetchTellsTheUser()
{
    TfrmMainForm* form = start();
    QSignalSpy status(form, &TfrmMainForm::statusTextChanged);
    form->hide();
    fetchAndWait();

    const QStringList completion{
        QStringLiteral("Ready."), QStringLiteral("Saving Results..."),      QStringLiteral("Saving current alerts"),
        QStringLiteral("Ready"),  QStringLiteral("Loading current alerts"), QStringLiteral("Ready"),
        QStringLiteral("Ready")};
    QCOMPARE(texts(status), kCategoryTexts + completion);
    // Stored and read back: the tree is the file's content.
    quobex::AlertTree stored;
    quobex::ItemsFile::load(m_app->home.file(QStringLiteral("quobex_amazon_items.dat")), stored);
    QCOMPARE(stored.nodeCount(), form->Tree.nodeCount());
    QCOMPARE(stored.nodeCount(), 2 + 6 + 2);
    QCOMPARE(testsupport::readFile(m_app->home.file(QStringLiteral("quobex_latest_alert_index.dat"))),
             QByteArray("A2\r\nA1\r\n"));
    QCOMPARE(m_service->targetsOf("BrowseNodeLookup").size(), 6);
    QCOMPARE(m_service->targetsOf("ItemLookup").size(), 2);

    QCOMPARE(m_app->tray.images.last(), 1);
    QCOMPARE(m_app->tray.balloons.size(), 1);
    QCOMPARE(m_app->tray.balloons[0].title, QStringLiteral("Quobex Alert"));
    QCOMPARE(m_app->tray.balloons[0].text, QStringLiteral("Book One\r\nBook Two\r\n"));
    QCOMPARE(m_app->tray.balloons[0].timeHintMs, 100000);
    QCOMPARE(m_app->tray.beeps, 1);
    QTRY_VERIFY(form->isVisible());
    QCOMPARE(form->NewTitles, (QList<QByteArray>{"Book One", "Book Two"}));
}

void TestFetch::fetchThatAddsNothingStaysQuiet()
{
    TfrmMainForm* form = start();
    fetchAndWait();
    form->hide();
    m_app->tray.balloons.clear();
    m_app->tray.beeps = 0;
    m_service->clearRequests();

    fetchAndWait();
    QCOMPARE(m_service->targets().size(), 6); // the lists only: nothing new to look up
    QCOMPARE(m_app->tray.images.last(), 0);
    QVERIFY(m_app->tray.balloons.isEmpty());
    QCOMPARE(m_app->tray.beeps, 0);
    QVERIFY(!form->isVisible());
    const AlertNode* books = form->Tree.FindGroup(QStringLiteral("Top Sellers"))->firstChild();
    for (int i = 0; i < books->childCount(); ++i)
        QCOMPARE(books->child(i)->data.IsNew, quobex::kFalse);
}

void TestFetch::switchesSuppressTheirSignal_data()
{
    QTest::addColumn<bool>("balloon");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<bool>("window");
    QTest::newRow("no balloon") << false << true << true;
    QTest::newRow("no sound") << true << false << true;
    QTest::newRow("no window") << true << true << false;
    QTest::newRow("only the icon") << false << false << false;
}

void TestFetch::switchesSuppressTheirSignal()
{
    QFETCH(bool, balloon);
    QFETCH(bool, sound);
    QFETCH(bool, window);
    TfrmMainForm* form = start();
    quobex::TfrmSettings* settings = form->settingsForm();
    settings->cbShowBaloon->setChecked(balloon);
    settings->cbPlaySound->setChecked(sound);
    settings->cbShowBrowser->setChecked(window);
    form->hide();
    fetchAndWait();
    QCOMPARE(m_app->tray.images.last(), 1);
    QCOMPARE(m_app->tray.balloons.size(), balloon ? 1 : 0);
    QCOMPARE(m_app->tray.beeps, sound ? 1 : 0);
    QTest::qWait(20);
    QCOMPARE(form->isVisible(), window);
}

void TestFetch::checkNowDuringAFetchWaitsForIt()
{
    m_service->setDefaultReply("BrowseNodeLookup",
                               Reply::xml(FakeWebService::emptyReply("BrowseNodeLookup")).delayed(60));
    TfrmMainForm* form = start();
    QSignalSpy status(form, &TfrmMainForm::statusTextChanged);
    bool exitWasDropped = false;
    int secondStarted = 0;
    QTimer::singleShot(100, form, [&] {
        form->Exit2->trigger(); // dropped: a fetch runs
        exitWasDropped = form->isVisible() && !form->ExitRequested;
        form->QueryAmazonNow2->trigger(); // returns once the second fetch has started
        ++secondStarted;
    });
    form->QueryAmazonNow2->trigger();
    QVERIFY(platform::WaitWhile([&] { return secondStarted == 0 || form->Busy; }, 5));

    QVERIFY(exitWasDropped);
    QCOMPARE(m_app->endRequests, 0);
    const QStringList seen = texts(status);
    // Two whole fetches, one after the other: the second began only after
    // the first one's completion had ended.
    QCOMPARE(seen.count(QStringLiteral("Saving Results...")), 2);
    const qsizetype firstDone = seen.indexOf(QStringLiteral("Saving Results..."));
    QCOMPARE(seen.mid(0, 7), kCategoryTexts + QStringList{QStringLiteral("Ready.")});
    QCOMPARE(seen.indexOf(kCategoryTexts[0], 1) > firstDone, true);
    QCOMPARE(m_service->targetsOf("BrowseNodeLookup").size(), 12);
}

void TestFetch::requestDuringTheCompletionRunsAfterIt()
{
    TfrmMainForm* form = start();
    QSignalSpy status(form, &TfrmMainForm::statusTextChanged);
    bool asked = false;
    // As if the fetch timer or the user asked while the completion stores the tree.
    connect(form, &TfrmMainForm::statusTextChanged, this, [&](const QString& text) {
        if (text == QStringLiteral("Saving current alerts") && !asked) {
            asked = true;
            form->QueryAmazonNow2->trigger(); // returns at once
        }
    });
    fetchAndWait();
    QVERIFY(asked);
    // The second fetch starts once the first completion has ended, and runs whole.
    QVERIFY(platform::WaitWhile(
        [&] { return texts(status).count(QStringLiteral("Saving Results...")) < 2 || form->Busy; }, 5));
    QCOMPARE(m_service->targetsOf("BrowseNodeLookup").size(), 12);
    QVERIFY(!form->Busy);
}

void TestFetch::failedFirstRequestDoesNotStopTheFetch()
{
    m_service->setBrowseNodeReply("283155", "TopSellers", Reply::error(500, "<html>oops</html>"));
    TfrmMainForm* form = start();
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_latest_alert_index.dat")), "KEEP\r\n");
    QSignalSpy status(form, &TfrmMainForm::statusTextChanged);
    fetchAndWait();
    QCOMPARE(m_service->targets().size(), 6);
    QCOMPARE(texts(status).mid(0, 7), kCategoryTexts + QStringList{QStringLiteral("Ready.")});
    QCOMPARE(form->statusText(), QStringLiteral("Ready"));
    QCOMPARE(m_app->tray.images.last(), 0);
    QVERIFY(form->NewTitles.isEmpty());
    QCOMPARE(testsupport::readFile(m_app->home.file(QStringLiteral("quobex_latest_alert_index.dat"))),
             QByteArray("KEEP\r\n"));
    QVERIFY(m_app->tray.toolTips.last().endsWith(QStringLiteral("\n1 alert failed.")));
}

void TestFetch::endingDuringAFetchGivesItUp()
{
    m_service->setDefaultReply("BrowseNodeLookup",
                               Reply::xml(FakeWebService::emptyReply("BrowseNodeLookup")).delayed(2000));
    TfrmMainForm* form = start();
    form->QueryAmazonNow2->trigger();
    QVERIFY(platform::WaitWhile([&] { return m_service->targets().isEmpty(); }, 5));
    QElapsedTimer clock;
    clock.start();
    form->EndSession();
    QVERIFY(clock.elapsed() < 1500);
    QVERIFY(!form->isFetching());
    QCOMPARE(m_app->endRequests, 1);
    QCOMPARE(m_app->lastExitCode, 0);
    QTest::qWait(50); // the worker's end arrives after the program chose to end
    QCOMPARE(m_app->tray.balloons.size(), 0);
}

void TestFetch::addedAlertIsSearchedAndStored()
{
    m_service->setSearchReply(
        "harry potter", Reply::xml(replies::search(replies::item("HP1", "Stone") + replies::item("HP2", "Chamber"))));
    TfrmMainForm* form = start();
    quobex::TfrmAddAlert* dialog = form->addAlertForm();
    QTimer::singleShot(0, dialog, [dialog] {
        dialog->txtNewAlert->setText(QStringLiteral("harry potter"));
        dialog->cmbItemType->setCurrentText(QStringLiteral("Books"));
        QTest::mouseClick(dialog->btnAddAlert, Qt::LeftButton);
    });
    QTest::mouseClick(form->btnAddAlert, Qt::LeftButton);
    QVERIFY(form->Busy); // the dialog's "Add" started the fetch
    QVERIFY(platform::WaitWhile([form] { return form->Busy; }, 5));

    QCOMPARE(m_service->targetsOf("ItemSearch").size(), 1);
    QVERIFY(m_service->targetsOf("ItemSearch")[0].contains("&SearchIndex=Books&Keywords=harry+potter&"));
    // The groups of the tree: the new alert's first, then the built-in ones.
    QCOMPARE(form->Tree.root()->child(0)->data.ItemType, QStringLiteral("Books"));
    const AlertNode* alert = form->Tree.root()->child(0)->firstChild();
    QCOMPARE(alert->data.Keyword, QStringLiteral("harry potter"));
    QCOMPARE(alert->childCount(), 2);
    QCOMPARE(alert->firstChild()->data.ASIN, QStringLiteral("HP2")); // the newest on top
    QCOMPARE(alert->data.NewCount, 2);
    QCOMPARE(alert->data.UnreadCount, 2);
    QCOMPARE(form->Tree.root()->child(0)->data.UnreadCount, 2);
    QCOMPARE(m_app->tray.balloons.last().text, QStringLiteral("Stone\r\nChamber\r\nBook One\r\nBook Two\r\n"));
}

void TestFetch::completionKeepsTheNewestItems()
{
    QByteArray many;
    for (int i = 1; i <= 25; ++i)
        many += replies::item("K" + QByteArray::number(i), "Title " + QByteArray::number(i));
    m_service->setSearchReply("many", Reply::xml(replies::search(many)));
    m_app->home.makeDataFolder();
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_keyword_config.dat")), "many\r\n");
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_itemtype_config.dat")), "Books\r\n");
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_localization_config.dat")), "U.S.A.\r\n");
    TfrmMainForm* form = start();
    QCOMPARE(form->keepArticles(), 20);
    fetchAndWait();

    const AlertNode* alert = form->Tree.FindGroup(QStringLiteral("Books"))->firstChild();
    QCOMPARE(alert->childCount(), 20);
    QCOMPARE(alert->firstChild()->data.ASIN, QStringLiteral("K25"));
    QCOMPARE(alert->child(19)->data.ASIN, QStringLiteral("K6"));
    QCOMPARE(alert->data.NewCount, 20);
    quobex::AlertTree stored;
    quobex::ItemsFile::load(m_app->home.file(QStringLiteral("quobex_amazon_items.dat")), stored);
    QCOMPARE(stored.FindGroup(QStringLiteral("Books"))->firstChild()->childCount(), 20);
    // The latest alerts keep 20 too; the balloon still names all 27.
    QCOMPARE(form->LatestAlertList.size(), 20);
    QCOMPARE(form->LatestAlertList.first(), QByteArray("A2"));
    QCOMPARE(m_app->tray.balloons.last().text.count(QStringLiteral("\r\n")), 27);
}

void TestFetch::deletesDuringAFetch()
{
    m_service->setSearchReply("doomed", Reply::xml(replies::search(replies::item("D1", "Late"))).delayed(300));
    m_service->setSearchReply("first", Reply::xml(replies::search(replies::item("F1", "Early"))));
    m_app->home.makeDataFolder();
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_keyword_config.dat")), "first\r\ndoomed\r\n");
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_itemtype_config.dat")), "Books\r\nBooks\r\n");
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_localization_config.dat")), "U.S.A.\r\nU.S.A.\r\n");
    TfrmMainForm* form = start();
    form->QueryAmazonNow2->trigger();
    quobex::AlertTree& tree = form->Tree;
    auto alertNamed = [&](const char* keyword) -> AlertNode* {
        AlertNode* group = tree.FindGroup(QStringLiteral("Books"));
        return group ? tree.FindAlert(group, QString::fromLatin1(keyword), QStringLiteral("U.S.A.")) : nullptr;
    };
    // While "doomed" waits for its reply: read "Early", delete it as an
    // entry, then delete the "doomed" alert itself.
    QVERIFY(platform::WaitWhile([&] { return !alertNamed("doomed"); }, 2));
    AlertNode* early = alertNamed("first")->firstChild();
    form->vtvCurrentAlerts->selectNode(early);
    QCOMPARE(form->CurrentItemNode, early);
    form->DeleteEntry1Click();
    QCOMPARE(form->CurrentItemNode, nullptr);
    form->vtvCurrentAlerts->selectNode(alertNamed("doomed"));
    form->DeleteAlert1Click();
    QVERIFY(!alertNamed("doomed"));
    QVERIFY(form->Busy);

    QVERIFY(platform::WaitWhile([form] { return form->Busy; }, 5));
    QVERIFY(!alertNamed("doomed")); // not brought back by its late reply
    QCOMPARE(alertNamed("first")->childCount(), 0);
    QCOMPARE(form->Definitions.KeywordList, QList<QByteArray>{"first"});
    QVERIFY(!form->NewTitles.contains("Late"));
}

void TestFetch::failedReloadKeepsTheTreeJustSaved()
{
    TfrmMainForm* form = start();
    const QString items = m_app->home.file(QStringLiteral("quobex_amazon_items.dat"));
    // The file is taken away between the completion's save and its reload.
    connect(form, &TfrmMainForm::statusTextChanged, this, [&](const QString& text) {
        if (text == QStringLiteral("Loading current alerts")) {
            QFile::rename(items, items + QStringLiteral(".aside"));
            QDir().mkdir(items);
        }
    });
    fetchAndWait();
    QCOMPARE(form->Tree.nodeCount(), 2 + 6 + 2);
    QCOMPARE(form->statusText(), QStringLiteral("Ready"));
}

void TestFetch::productsAreAnnouncedOnce()
{
    auto reply = [](int last) {
        QByteArray items;
        for (int i = 1; i <= last; ++i)
            items += replies::item("K" + QByteArray::number(i), "Title " + QByteArray::number(i));
        return Reply::xml(replies::search(items));
    };
    m_service->setSearchReply("many", reply(7));
    writeDefinitions("many\r\n", "Books\r\n", "U.S.A.\r\n");
    TfrmMainForm* form = start();
    form->settingsForm()->seKeepArticles->setValue(5);
    fetchAndWait();
    auto alert = [&] { return form->Tree.FindGroup(QStringLiteral("Books"))->firstChild(); };
    QCOMPARE(alert()->childCount(), 5); // K7 to K3; K2 and K1 cut away
    // K7 is read and deleted with "Delete Entry".
    form->vtvCurrentAlerts->selectNode(alert()->firstChild());
    QCOMPARE(form->CurrentItemNode->data.ASIN, QStringLiteral("K7"));
    form->DeleteEntry1Click();

    form = restart();
    QVERIFY(form);
    m_app->tray.balloons.clear();
    m_service->setSearchReply("many", reply(8));
    fetchAndWait();
    // Only K8 is new: not the products cut away, not the one deleted.
    QCOMPARE(form->NewTitles, QList<QByteArray>{"Title 8"});
    QCOMPARE(m_app->tray.balloons.last().text, QStringLiteral("Title 8\r\n"));
    QStringList held;
    for (int i = 0; i < alert()->childCount(); ++i)
        held << alert()->child(i)->data.ASIN;
    QCOMPARE(held, (QStringList{QStringLiteral("K8"), QStringLiteral("K6"), QStringLiteral("K5"), QStringLiteral("K4"),
                                QStringLiteral("K3")}));
    // Only K8 joins the latest alerts; the rest is the previous fetch's list.
    QCOMPARE(form->LatestAlertList, (QList<QByteArray>{"K8", "A2", "A1", "K7", "K6", "K5"}));

    // A third fetch: a product never seen before is still new.
    m_service->setSearchReply("many", reply(9));
    fetchAndWait();
    QCOMPARE(form->NewTitles, QList<QByteArray>{"Title 9"});
    QCOMPARE(alert()->firstChild()->data.ASIN, QStringLiteral("K9"));
    QCOMPARE(alert()->child(1)->data.IsNew, quobex::kFalse);

    // Deleting the alert forgets what it brought.
    const quobex::AlertKey key{QStringLiteral("Books"), QStringLiteral("many"), QStringLiteral("U.S.A.")};
    QCOMPARE(form->SeenProducts.list(key).size(), 9);
    form->vtvCurrentAlerts->selectNode(alert());
    form->DeleteAlert1Click();
    QVERIFY(form->SeenProducts.list(key).isEmpty());
    QCOMPARE(form->Checks.find(key), nullptr);
    QVERIFY(!testsupport::readFile(m_app->home.file(QStringLiteral("quobex_seen_items.dat"))).contains("many"));
    QVERIFY(!testsupport::readFile(m_app->home.file(QStringLiteral("quobex_alert_checks.dat"))).contains("many"));
}

void TestFetch::givenUpFetchKeepsWhatItSaw()
{
    QByteArray items;
    for (int i = 1; i <= 7; ++i)
        items += replies::item("K" + QByteArray::number(i), "Title " + QByteArray::number(i));
    m_service->setSearchReply("many", Reply::xml(replies::search(items)));
    // The built-in lists come late: the program ends while it waits for them.
    m_service->setDefaultReply("BrowseNodeLookup",
                               Reply::xml(FakeWebService::emptyReply("BrowseNodeLookup")).delayed(2000));
    writeDefinitions("many\r\n", "Books\r\n", "U.S.A.\r\n");
    TfrmMainForm* form = start();
    form->settingsForm()->seKeepArticles->setValue(5);
    form->QueryAmazonNow2->trigger();
    QVERIFY(platform::WaitWhile([&] { return !m_service->targets().join().contains("BrowseNodeLookup"); }, 5));
    form->EndSession();
    QCOMPARE(m_app->lastExitCode, 0);
    // K1 and K2 were cut away as the fetch was given up; they stay seen.
    const QByteArray seen = testsupport::readFile(m_app->home.file(QStringLiteral("quobex_seen_items.dat")));
    for (const char* asin : {"K1", "K2", "K7"})
        QVERIFY2(seen.contains(asin), asin);

    m_service->setDefaultReply("BrowseNodeLookup", Reply::xml(FakeWebService::emptyReply("BrowseNodeLookup")));
    m_app->destroy();
    m_app->start();
    form = m_app->form();
    fetchAndWait();
    // None of the alert's products is new again (the built-in lists may bring their own).
    for (const QByteArray& title : form->NewTitles)
        QVERIFY2(!title.startsWith("Title "), title.constData());
}

void TestFetch::oldDataFolderLoadsAndFetchesAsBefore()
{
    // The files of a folder from before the seen lists and check records:
    // definitions, version marker, items file, latest-alert index.
    writeDefinitions("old\r\n", "Books\r\n", "U.S.A.\r\n");
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_version.dat")), "1.0.8.49");
    {
        quobex::AlertTree tree;
        AlertNode* group = tree.AddChild(tree.root());
        group->data.ItemType = QStringLiteral("Books");
        AlertNode* alert = tree.AddChild(group);
        alert->data.Keyword = QStringLiteral("old");
        alert->data.Localization = QStringLiteral("U.S.A.");
        alert->data.ItemType = QStringLiteral("Books");
        for (const char* asin : {"O1", "O2"}) {
            AlertNode* item = tree.InsertFirstChild(alert);
            item->data.ASIN = QString::fromLatin1(asin);
            item->data.Title = QStringLiteral("Title ") + item->data.ASIN;
            item->data.IsNew = quobex::kTrue;
            item->data.IsRead = quobex::kFalse;
        }
        quobex::ItemsFile::save(tree, m_app->home.file(QStringLiteral("quobex_amazon_items.dat")));
    }
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_latest_alert_index.dat")), "O2\r\nO1\r\n");
    m_service->setSearchReply(
        "old", Reply::xml(replies::search(replies::item("O1", "Title O1") + replies::item("O2", "Title O2") +
                                          replies::item("O3", "Title O3"))));
    TfrmMainForm* form = start();
    AlertNode* alert = form->Tree.FindGroup(QStringLiteral("Books"))->firstChild();
    QCOMPARE(alert->childCount(), 2);
    QCOMPARE(form->LatestAlertList, (QList<QByteArray>{"O2", "O1"}));
    QCOMPARE(form->grdLatestAlerts->item(0, 0)->text(), QStringLiteral("Title O2"));
    // What the tree holds counts as brought already: O2, deleted now, does not come back.
    form->vtvCurrentAlerts->selectNode(alert->firstChild());
    form->DeleteEntry1Click();

    fetchAndWait();
    QCOMPARE(form->NewTitles, (QList<QByteArray>{"Title O3", "Book One", "Book Two"}));
    alert = form->Tree.FindGroup(QStringLiteral("Books"))->firstChild();
    QCOMPARE(alert->childCount(), 2);
    QCOMPARE(alert->child(0)->data.ASIN, QStringLiteral("O3"));
    QCOMPARE(alert->child(1)->data.ASIN, QStringLiteral("O1"));
    QCOMPARE(alert->child(1)->data.IsNew, quobex::kFalse);
    QCOMPARE(testsupport::readFile(m_app->home.file(QStringLiteral("quobex_latest_alert_index.dat"))),
             QByteArray("A2\r\nA1\r\nO3\r\nO2\r\nO1\r\n"));
    QVERIFY(QFile::exists(m_app->home.file(QStringLiteral("quobex_seen_items.dat"))));
    QVERIFY(QFile::exists(m_app->home.file(QStringLiteral("quobex_alert_checks.dat"))));
}

void TestFetch::failedAlertIsMarked()
{
    m_service->setSearchReply("broken", Reply::error(500, "<html>Internal Server Error</html>"));
    m_service->setSearchReply("fine", Reply::xml(replies::search(replies::item("F1", "Fine"))));
    writeDefinitions("broken\r\nfine\r\n", "Books\r\nBooks\r\n", "U.S.A.\r\nU.S.A.\r\n");
    TfrmMainForm* form = start();
    fetchAndWait();

    quobex::AlertTreeView* view = form->vtvCurrentAlerts;
    AlertNode* group = form->Tree.FindGroup(QStringLiteral("Books"));
    const QModelIndex broken =
        view->indexOf(form->Tree.FindAlert(group, QStringLiteral("broken"), QStringLiteral("U.S.A.")));
    const QModelIndex fine =
        view->indexOf(form->Tree.FindAlert(group, QStringLiteral("fine"), QStringLiteral("U.S.A.")));
    // The text stays as it was; the mark and its tooltip say what went wrong.
    QCOMPARE(broken.data(Qt::DisplayRole).toString(), QStringLiteral("broken (U.S.A.) - 0 new, 0 unread"));
    QVERIFY(!broken.data(Qt::DecorationRole).value<QIcon>().isNull());
    QCOMPARE(broken.data(Qt::ToolTipRole).toString(),
             QStringLiteral("Last check failed (%1): The store answered with HTTP status 500.\nNo good check yet.")
                 .arg(quobex::AlertChecks::showTime(
                     form->Checks.find({QStringLiteral("Books"), QStringLiteral("broken"), QStringLiteral("U.S.A.")})
                         ->lastFailure)));
    QVERIFY(fine.data(Qt::DecorationRole).isNull());
    QVERIFY(fine.data(Qt::ToolTipRole).isNull());
    QCOMPARE(m_app->tray.toolTips.last(), QStringLiteral("Quobex\nLast check ended %1\n1 alert failed.")
                                              .arg(quobex::AlertChecks::showTime(form->Checks.lastFetchEnded())));
    // The status bar's own text stays "Ready"; a line beside it says that something failed.
    QCOMPARE(form->findChild<QLabel*>(QStringLiteral("mainStatusBarText"))->text(), QStringLiteral("Ready"));
    QLabel* checks = form->findChild<QLabel*>(QStringLiteral("mainStatusBarChecks"));
    QCOMPARE(checks->text(), QStringLiteral("1 alert could not be checked"));
    QVERIFY(!checks->isHidden());

    const QString screens = qEnvironmentVariable("QUOBEX_SCREENSHOT_DIR");
    if (!screens.isEmpty()) {
        // For a person to look at, on a real display: the mark, and its tooltip.
        view->expand(view->indexOf(group));
        view->setFocus();
        QTest::qWait(200);
        const QRect row = view->visualRect(broken);
        QHelpEvent help(QEvent::ToolTip, row.center(), view->viewport()->mapToGlobal(row.center()));
        QCoreApplication::sendEvent(view->viewport(), &help);
        QTest::qWait(700);
        form->screen()->grabWindow(0).save(screens + QStringLiteral("/failed-alert-tooltip.png"));
        view->grab().save(screens + QStringLiteral("/failed-alert-mark.png"));
    }

    // Kept across runs.
    form = restart();
    QVERIFY(form);
    group = form->Tree.FindGroup(QStringLiteral("Books"));
    AlertNode* node = form->Tree.FindAlert(group, QStringLiteral("broken"), QStringLiteral("U.S.A."));
    QVERIFY(!form->vtvCurrentAlerts->indexOf(node).data(Qt::DecorationRole).isNull());
    QVERIFY(m_app->tray.toolTips.last().endsWith(QStringLiteral("\n1 alert failed.")));

    // It answers again: the mark goes; it fails again: the tooltip names the last good check.
    m_service->setSearchReply("broken", Reply::xml(replies::search(replies::item("B1", "Back"))));
    fetchAndWait();
    node = form->Tree.FindAlert(form->Tree.FindGroup(QStringLiteral("Books")), QStringLiteral("broken"),
                                QStringLiteral("U.S.A."));
    QVERIFY(form->vtvCurrentAlerts->indexOf(node).data(Qt::DecorationRole).isNull());
    QVERIFY(m_app->tray.toolTips.last().endsWith(QStringLiteral("\nEvery alert was checked.")));
    QVERIFY(form->findChild<QLabel*>(QStringLiteral("mainStatusBarChecks"))->isHidden());
    const QDateTime good =
        form->Checks.find({QStringLiteral("Books"), QStringLiteral("broken"), QStringLiteral("U.S.A.")})->lastGood;
    m_service->setSearchReply("broken", Reply::fixture(QStringLiteral("replies/Error-reply.xml")));
    fetchAndWait();
    node = form->Tree.FindAlert(form->Tree.FindGroup(QStringLiteral("Books")), QStringLiteral("broken"),
                                QStringLiteral("U.S.A."));
    const QString tip = form->vtvCurrentAlerts->indexOf(node).data(Qt::ToolTipRole).toString();
    QVERIFY2(
        tip.contains(QStringLiteral("The store's web service reported an error: bad (AWS.InvalidParameterValue).")),
        qPrintable(tip));
    QVERIFY2(tip.endsWith(QStringLiteral("Last good check: ") + quobex::AlertChecks::showTime(good)), qPrintable(tip));
}

void TestFetch::readingSurvivesAFetch()
{
    QByteArray many;
    for (int i = 1; i <= 20; ++i)
        many += replies::item("M" + QByteArray::number(i), "Many " + QByteArray::number(i));
    m_service->setSearchReply("many", Reply::xml(replies::search(many)));
    writeDefinitions("many\r\n", "Books\r\n", "U.S.A.\r\n");
    TfrmMainForm* form = start();
    fetchAndWait();

    // The user opens both alerts, scrolls, and reads "Book One".
    quobex::AlertTreeView* view = form->vtvCurrentAlerts;
    quobex::AlertTree& tree = form->Tree;
    auto expandedNodes = [&] {
        QStringList out;
        tree.FindFirst([&](const AlertNode& node) {
            if (view->isExpanded(view->indexOf(&node)))
                out << quobex::AlertTreeModel::vtvCurrentAlertsGetText(node).section(QLatin1Char(' '), 0, 0);
            return false;
        });
        return out;
    };
    for (AlertNode* group : {tree.FindGroup(QStringLiteral("Books")), tree.FindGroup(QStringLiteral("Top Sellers"))}) {
        view->expand(view->indexOf(group));
        view->expand(view->indexOf(group->firstChild()));
    }
    const QStringList expanded = expandedNodes();
    QCOMPARE(expanded.size(), 4);
    QVERIFY(view->verticalScrollBar()->maximum() > 6);
    view->verticalScrollBar()->setValue(6);
    // Where the view stands as the fetch completes, before the tree is stored and loaded back.
    std::optional<quobex::NodeKey> topKey;
    int scrolled = -1;
    connect(form, &TfrmMainForm::statusTextChanged, this, [&](const QString& text) {
        if (text != QStringLiteral("Saving Results..."))
            return;
        if (const AlertNode* top = view->nodeAt(view->indexAt(QPoint(0, 0))))
            topKey = quobex::NodeKey::of(*top);
        scrolled = view->verticalScrollBar()->value();
    });

    // The next fetch brings new products above both, while the user reads.
    m_service->setSearchReply("many", Reply::xml(replies::search(many + replies::item("M21", "Many 21"))).delayed(100));
    m_service->setBrowseNodeReply(
        "283155", "TopSellers",
        Reply::xml(replies::browseNode("TopSellers", {{"A0", "Book Zero"}, {"A1", "Book One"}, {"A2", "Book Two"}})));
    m_service->setLookupReply("A0", Reply::xml(replies::lookup(replies::item("A0", "Book Zero"))));
    form->QueryAmazonNow2->trigger();
    AlertNode* reading =
        tree.FindItem(tree.FindGroup(QStringLiteral("Top Sellers"))->firstChild(), QStringLiteral("A1"));
    view->selectNode(reading);
    QCOMPARE(form->CurrentItemNode, reading);
    QVERIFY(form->wbPicture->toPlainText().contains(QStringLiteral("Book One")));
    QVERIFY(platform::WaitWhile([form] { return form->Busy; }, 5));

    // Saved and loaded back, and still where the user was.
    QCOMPARE(form->NewTitles, (QList<QByteArray>{"Many 21", "Book Zero"}));
    QVERIFY(form->CurrentItemNode);
    QCOMPARE(form->CurrentItemNode->data.ASIN, QStringLiteral("A1"));
    QCOMPARE(form->CurrentItemNode->parent()->parent()->data.ItemType, QStringLiteral("Top Sellers"));
    QCOMPARE(view->selectedNode(), form->CurrentItemNode);
    QVERIFY(form->btnBuy->isEnabled());
    QVERIFY(form->wbPicture->currentAddress().isEmpty()); // not the help page
    QVERIFY(form->wbPicture->toPlainText().contains(QStringLiteral("Book One")));
    QCOMPARE(expandedNodes(), expanded);
    QVERIFY(topKey);
    QCOMPARE(view->verticalScrollBar()->value(), scrolled);
    const AlertNode* topAfter = view->nodeAt(view->indexAt(QPoint(0, 0)));
    QVERIFY(topAfter);
    QCOMPARE(quobex::NodeKey::of(*topAfter), *topKey);
}

void TestFetch::productGoneAfterAFetchShowsHelp()
{
    auto reply = [](int first, int last) {
        QByteArray items;
        for (int i = first; i <= last; ++i)
            items += replies::item("K" + QByteArray::number(i), "Title " + QByteArray::number(i));
        return Reply::xml(replies::search(items));
    };
    m_service->setSearchReply("many", reply(1, 5));
    writeDefinitions("many\r\n", "Books\r\n", "U.S.A.\r\n");
    TfrmMainForm* form = start();
    form->settingsForm()->seKeepArticles->setValue(5);
    fetchAndWait();
    // The oldest product is read; the next fetch's new one pushes it out.
    AlertNode* alert = form->Tree.FindGroup(QStringLiteral("Books"))->firstChild();
    form->vtvCurrentAlerts->selectNode(alert->child(4));
    QCOMPARE(form->CurrentItemNode->data.ASIN, QStringLiteral("K1"));
    m_service->setSearchReply("many", reply(1, 6));
    fetchAndWait();
    QCOMPARE(form->CurrentItemNode, nullptr);
    QVERIFY(!form->btnBuy->isEnabled());
    QCOMPARE(form->wbPicture->currentAddress(), m_app->endpoints.makerServer + "/exe/help/index.html");
    QCOMPARE(form->vtvCurrentAlerts->selectedNode(), nullptr);
}

void TestFetch::unreadableIndexIsKeptAndReportedOnce()
{
    const QString index = m_app->home.file(QStringLiteral("quobex_latest_alert_index.dat"));
    m_app->home.makeDataFolder();
    testsupport::writeFile(index, "KEEP\r\n");
    QVERIFY(QFile::setPermissions(index, {}));
    TfrmMainForm* form = nullptr;
    {
        const testsupport::FilePermissionsApply permissions;
        // Unreadable from the start: told once at start-up, not again after the fetch.
        form = start();
        QCOMPARE(m_app->messages.errors.size(), 1);
        fetchAndWait();
    }
    QVERIFY(QFile::setPermissions(index, QFile::ReadOwner | QFile::WriteOwner));
    // The fetch found two new products, but an index of only those would
    // have replaced the user's.
    QCOMPARE(form->NewTitles.size(), 2);
    QCOMPARE(testsupport::readFile(index), QByteArray("KEEP\r\n"));
    QCOMPARE(m_app->messages.errors.size(), 1);
    QVERIFY(m_app->messages.errors.at(0).contains(index));

    // Readable again: the next fetch puts its news in front.
    m_service->setBrowseNodeReply("283155", "TopSellers",
                                  Reply::xml(replies::browseNode("TopSellers", {{"A3", "Book Three"}})));
    m_service->setDefaultReply("ItemLookup", Reply::xml(replies::lookup(replies::item("A3", "Book Three"))));
    fetchAndWait();
    QCOMPARE(testsupport::readFile(index), QByteArray("A3\r\nKEEP\r\n"));
    QCOMPARE(m_app->messages.errors.size(), 1);
}

QTEST_MAIN(TestFetch)
#include "tst_fetch.moc"
