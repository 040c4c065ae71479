// Fetches through the real main window against the fake web service: what
// starts them, how they wait for each other, and what the user is told.

#include "quobex/settings/NumberEdit.h"
#include "quobex/settings/Settings.h"
#include "quobex/shell/MainForm.h"
#include "quobex/store/AddAlert.h"
#include "quobex/store/AlertTreeView.h"
#include "quobex/store/ItemsFile.h"

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
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

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
    void failedFirstRequestStillCompletes();
    void endingDuringAFetchGivesItUp();
    void addedAlertIsSearchedAndStored();
    void completionKeepsTheNewestItems();
    void deletesDuringAFetch();
    void failedReloadKeepsTheTreeJustSaved();
    void unreadableIndexIsKeptAndReportedOnce();

private:
    TfrmMainForm* start();
    void fetchAndWait();

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

void TestFetch::failedFirstRequestStillCompletes()
{
    m_service->setBrowseNodeReply("283155", "TopSellers", Reply::error(500, "<html>oops</html>"));
    TfrmMainForm* form = start();
    testsupport::writeFile(m_app->home.file(QStringLiteral("quobex_latest_alert_index.dat")), "KEEP\r\n");
    QSignalSpy status(form, &TfrmMainForm::statusTextChanged);
    fetchAndWait();
    QCOMPARE(m_service->targets().size(), 1);
    QCOMPARE(texts(status).at(0), kCategoryTexts[0]);
    QCOMPARE(texts(status).at(1), QStringLiteral("Saving Results..."));
    QCOMPARE(form->statusText(), QStringLiteral("Ready"));
    QCOMPARE(m_app->tray.images.last(), 0);
    QVERIFY(form->NewTitles.isEmpty());
    QCOMPARE(testsupport::readFile(m_app->home.file(QStringLiteral("quobex_latest_alert_index.dat"))),
             QByteArray("KEEP\r\n"));
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
