// Start-up, the data folder, the main window, the tray and ending.

#include "platform/ui/WebView.h"
#include "quobex/settings/Settings.h"
#include "quobex/shell/MainForm.h"
#include "quobex/shell/Program.h"
#include "quobex/store/AddAlert.h"
#include "quobex/store/AlertTreeView.h"
#include "quobex/store/ItemsFile.h"
#include "tests/support/AppHarness.h"
#include "tests/support/Fixtures.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using quobex::AlertTree;
using quobex::TfrmMainForm;
using testsupport::AppHarness;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

QStringList captions(const QMenu* menu)
{
    QStringList out;
    for (const QAction* action : menu->actions())
        out << action->objectName() + QLatin1Char('=') + action->text();
    return out;
}

QList<QTimer*> timers(TfrmMainForm* form)
{
    return {form->timerStartup, form->timerFetchAmazon, form->timerPing, form->timerCheckForUpdates};
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstStartCreatesDataFolderAndMarker();
    void oldItemsFileIsDiscardedOnce();
    void unusableDataFolderIsReportedTwice();
    void unreadableDefinitionsKeepTheItemsFile();
    void windowHasItsControlsAndMenus();
    void windowsAreMadeInOrderAndTimersStartTogether();
    void startupTimerRunsOnce();
    void closeHidesIntoTrayAndTimersRunOn();
    void withoutTrayEverythingStaysReachable();
    void exitIsDroppedWhileBusy();
    void endOfSessionEndsEvenWhileBusy();
    void unreadableItemsFileIsKeptAside_data();
    void unreadableItemsFileIsKeptAside();
    void fetchThatCannotStartLeavesBusyClear();
    void exitStartsNoFetchOnTheWayOut();
};

void TestShell::firstStartCreatesDataFolderAndMarker()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    QCOMPARE(form->windowTitle(), QStringLiteral("Quobex 1.0.8.49 - Current Alerts"));
    QVERIFY(QFileInfo(app.home.dataFolder()).isDir());
    QCOMPARE(readFile(app.home.file(QStringLiteral("quobex_version.dat"))), QByteArray("1.0.8.49"));
    QVERIFY(!QFileInfo::exists(app.home.file(QStringLiteral("quobex_amazon_items.dat"))));
    QVERIFY(app.messages.informed.isEmpty());
    QCOMPARE(app.endRequests, 0);
    QCOMPARE(form->VersionText, QByteArray("1.0.8.49"));
    QVERIFY(form->AgentText.startsWith("Quobex 1.0.8.49 "));
    QVERIFY(!form->Busy);
    QVERIFY(!form->ExitRequested);
    QCOMPARE(form->CurrentItemNode, nullptr);
    QVERIFY(!form->btnBuy->isEnabled());
    QVERIFY(form->Tree.isEmpty());
    QCOMPARE(app.tray.activations, 1);
    // The details box asks for the help page as the window comes up.
    QCOMPARE(form->wbPicture->currentAddress(), app.endpoints.makerServer + "/exe/help/index.html");
}

void TestShell::oldItemsFileIsDiscardedOnce()
{
    AppHarness app;
    app.home.makeDataFolder();
    writeFile(app.home.file(QStringLiteral("quobex_amazon_items.dat")), "left by an old installation");
    writeFile(app.home.file(QStringLiteral("quobex_keyword_config.dat")), "harry potter\r\n");
    writeFile(app.home.file(QStringLiteral("quobex_itemtype_config.dat")), "Books\r\n");
    writeFile(app.home.file(QStringLiteral("quobex_localization_config.dat")), "U.S.A.\r\n");
    app.start();
    QVERIFY(!QFileInfo::exists(app.home.file(QStringLiteral("quobex_amazon_items.dat"))));
    QCOMPARE(app.form()->Definitions.KeywordList, QList<QByteArray>{"harry potter"});
    app.destroy();

    // The marker now exists: a later start keeps the items file.
    writeFile(app.home.file(QStringLiteral("quobex_amazon_items.dat")), "written by this version");
    app.create();
    QVERIFY(QFileInfo::exists(app.home.file(QStringLiteral("quobex_amazon_items.dat"))));
}

void TestShell::unusableDataFolderIsReportedTwice()
{
    AppHarness app;
    app.home.makeUnusable();
    app.start();
    const QString appData = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    QCOMPARE(app.messages.informed,
             (QStringList{QStringLiteral("Error creating config folder: ") + appData + QStringLiteral("/Quobex"),
                          QStringLiteral("Error creating config folder: ") + appData + QStringLiteral("/Quobex/")}));
    QCOMPARE(app.endRequests, 2);
    QCOMPARE(app.lastExitCode, 1);
    // The rest of the start-up still ran against the missing folder.
    QVERIFY(app.form()->isVisible());
}

void TestShell::unreadableDefinitionsKeepTheItemsFile()
{
    AppHarness app;
    app.home.makeDataFolder();
    writeFile(app.home.file(QStringLiteral("quobex_version.dat")), "1.0.8.49");
    writeFile(app.home.file(QStringLiteral("quobex_amazon_items.dat")), "whatever the tree was");
    writeFile(app.home.file(QStringLiteral("quobex_itemtype_config.dat")), "Books\r\n");
    // A folder where the keyword file should be: it exists and cannot be read.
    QDir().mkpath(app.home.file(QStringLiteral("quobex_keyword_config.dat")));
    app.create();
    QCOMPARE(app.messages.errors.size(), 1);
    QCOMPARE(app.form()->Definitions.count(), 0);
    QVERIFY(QFileInfo::exists(app.home.file(QStringLiteral("quobex_amazon_items.dat"))));
}

void TestShell::windowHasItsControlsAndMenus()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    QCOMPARE(form->size(), QSize(728, 486));
    QCOMPARE(form->sGroupBox1->title(), QStringLiteral("Current Alerts"));
    QCOMPARE(form->sGroupBox2->title(), QStringLiteral("Details"));
    QCOMPARE(form->btnAddAlert->text(), QStringLiteral("Add Alert"));
    QCOMPARE(form->btnTellFriend->text(), QStringLiteral("Tell A Friend"));
    QVERIFY(form->btnContact->text().startsWith(QStringLiteral("Contact ")));
    QCOMPARE(form->btnBuy->text(), QStringLiteral("More Info"));
    QCOMPARE(form->vtvCurrentAlerts->toolTip(), QStringLiteral("Right click to add an alert"));
    QCOMPARE(form->statusText(), QStringLiteral("Ready"));
    for (const char* name :
         {"sGroupBox1", "grdLatestAlerts", "btnAddAlert", "vtvCurrentAlerts", "btnTellFriend", "btnContact",
          "Splitter1", "sGroupBox2", "wbPicture", "btnBuy", "mainStatusBar", "popupTray", "popupTreeView",
          "timerStartup", "timerFetchAmazon", "timerPing", "timerCheckForUpdates"})
        QVERIFY2(form->findChild<QObject*>(QLatin1String(name)), name);

    QCOMPARE(captions(form->popupTray), (QStringList{QStringLiteral("ShowCurrentAlerts2=Show Current Alerts"),
                                                     QStringLiteral("QueryAmazonNow2=Check Alerts Now"),
                                                     QStringLiteral("CheckForUpdates1=Check For Updates"),
                                                     QStringLiteral("NotificationSettings1=Notification Settings"),
                                                     QStringLiteral("Exit2=Exit")}));
    QCOMPARE(captions(form->popupTreeView),
             (QStringList{QStringLiteral("AddAlert1=Add Alert"), QStringLiteral("DeleteAlert1=Delete Alert"),
                          QStringLiteral("DeleteEntry1=Delete Entry")}));
    for (QAction* action : form->popupTreeView->actions())
        QVERIFY(action->isEnabled());
}

void TestShell::windowsAreMadeInOrderAndTimersStartTogether()
{
    AppHarness app;
    writeFile(app.home.appData() + QStringLiteral("/QuobexSettings.xml"),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><Configuration>"
              "<RefreshInterval>3</RefreshInterval></Configuration>");
    app.create();
    TfrmMainForm* form = app.form();
    QCOMPARE(form->addAlertForm(), app.program()->addAlertForm());
    QCOMPARE(form->settingsForm(), app.program()->settingsForm());
    QCOMPARE(form->addAlertForm()->parent(), form);
    // The settings dialog set the fetch interval before anything started.
    QCOMPARE(form->timerFetchAmazon->interval(), 3 * 3600000);
    for (QTimer* timer : timers(form))
        QVERIFY(!timer->isActive());

    app.start(true);
    QCOMPARE(form->timerStartup->interval(), 10000);
    QCOMPARE(form->timerPing->interval(), 60000);
    QCOMPARE(form->timerCheckForUpdates->interval(), 3600000);
    for (QTimer* timer : timers(form))
        QVERIFY2(timer->isActive(), qPrintable(timer->objectName()));
}

void TestShell::startupTimerRunsOnce()
{
    AppHarness app;
    app.start(true);
    TfrmMainForm* form = app.form();
    form->timerStartupTimer();
    QVERIFY(!form->timerStartup->isActive());
    QVERIFY(form->timerFetchAmazon->isActive());
}

void TestShell::closeHidesIntoTrayAndTimersRunOn()
{
    AppHarness app;
    app.start(true);
    TfrmMainForm* form = app.form();
    QVERIFY(!form->close());
    QVERIFY(!form->isVisible());
    QCOMPARE(app.endRequests, 0);
    for (QTimer* timer : timers(form))
        QVERIFY(timer->isActive());

    Q_EMIT app.tray.doubleClicked();
    QTRY_VERIFY(form->isVisible());
    form->showMinimized();
    QTRY_VERIFY(!form->isVisible()); // minimising goes into the tray too
    form->ShowCurrentAlerts2->trigger();
    QTRY_VERIFY(form->isVisible());
    QVERIFY(!form->isMinimized());

    form->Exit2->trigger();
    QVERIFY(!form->isVisible());
    QCOMPARE(app.endRequests, 1);
    QCOMPARE(app.lastExitCode, 0);
}

void TestShell::withoutTrayEverythingStaysReachable()
{
    AppHarness app(false);
    app.start();
    TfrmMainForm* form = app.form();
    QMenuBar* bar = form->menuBar();
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->actions().size(), 1);
    QCOMPARE(bar->actions().first()->menu(), form->popupTray);
    QVERIFY(!form->close());
    QTRY_VERIFY(form->isMinimized()); // minimised, not hidden: it can be found again
    QVERIFY(form->isVisible());
}

void TestShell::exitIsDroppedWhileBusy()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    form->Busy = true;
    form->Exit1Click();
    QVERIFY(form->isVisible());
    QVERIFY(!form->ExitRequested);
    QCOMPARE(app.endRequests, 0);
    form->Busy = false;
    form->Exit1Click();
    QVERIFY(!form->isVisible());
    QCOMPARE(app.endRequests, 1);
}

void TestShell::endOfSessionEndsEvenWhileBusy()
{
    AppHarness app;
    app.start();
    app.form()->Busy = true;
    app.form()->EndSession();
    QCOMPARE(app.endRequests, 1);
    QCOMPARE(app.lastExitCode, 0);
    app.form()->EndSession(); // once only
    QCOMPARE(app.endRequests, 1);
}

void TestShell::unreadableItemsFileIsKeptAside_data()
{
    QTest::addColumn<QByteArray>("content");
    AlertTree tree;
    auto* group = tree.AddChild(tree.root());
    group->data.ItemType = QStringLiteral("Books");
    QByteArray unknownVersion = quobex::ItemsFile::encode(tree);
    unknownVersion[6] = 3;
    QTest::newRow("malformed") << QByteArray("not an items file at all");
    QTest::newRow("unknown format version") << unknownVersion;
}

void TestShell::unreadableItemsFileIsKeptAside()
{
    QFETCH(QByteArray, content);
    AppHarness app;
    app.home.makeDataFolder();
    writeFile(app.home.file(QStringLiteral("quobex_version.dat")), "1.0.8.49");
    const QString items = app.home.file(QStringLiteral("quobex_amazon_items.dat"));
    writeFile(items, content);
    app.start();
    QVERIFY(app.form()->Tree.isEmpty());
    const QStringList aside =
        QDir(app.home.dataFolder()).entryList({QStringLiteral("quobex_amazon_items.dat.unreadable-*")}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    const QString asidePath = app.home.file(aside.at(0));
    QCOMPARE(readFile(asidePath), content);
    QCOMPARE(app.messages.errors.size(), 1);
    QVERIFY(app.messages.errors.at(0).contains(items));
    QVERIFY(app.messages.errors.at(0).contains(asidePath));

    // Saves and later starts leave it alone and say nothing more.
    app.form()->Exit1Click();
    QVERIFY(QFileInfo::exists(items));
    app.destroy();
    app.start();
    QCOMPARE(app.messages.errors.size(), 1);
    QCOMPARE(readFile(asidePath), content);
}

void TestShell::fetchThatCannotStartLeavesBusyClear()
{
    AppHarness app;
    app.startThread = [](QThread&) { return false; };
    app.start();
    TfrmMainForm* form = app.form();
    form->QueryAmazonNow2->trigger();
    QVERIFY(!form->Busy);
    QVERIFY(!form->isFetching());
    QCOMPARE(app.messages.errors.size(), 1);
    QCOMPARE(form->statusText(), QStringLiteral("Ready"));
    // Nothing waits for a fetch that never ran: another request and Exit go through.
    form->QueryAmazonNow2->trigger();
    QCOMPARE(app.messages.errors.size(), 2);
    form->Exit1Click();
    QCOMPARE(app.endRequests, 1);
}

void TestShell::exitStartsNoFetchOnTheWayOut()
{
    AppHarness app;
    int threadsStarted = 0;
    app.startThread = [&](QThread& thread) {
        ++threadsStarted;
        thread.start();
        return true;
    };
    app.start();
    TfrmMainForm* form = app.form();
    // The fetch timer fires while Exit's save lets events through.
    bool fired = false;
    connect(form, &TfrmMainForm::statusTextChanged, this, [&](const QString& text) {
        if (text == QStringLiteral("Saving current alerts") && !fired) {
            fired = true;
            form->timerFetchAmazonTimer();
        }
    });
    form->Exit1Click();
    QVERIFY(fired);
    QCOMPARE(app.endRequests, 1);
    // Whatever was queued on the way out runs; no fetch starts.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(threadsStarted, 0);
    QVERIFY(!form->Busy);
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
