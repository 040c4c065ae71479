#include "quobex/shell/MainForm.h"

#include "platform/CodePage.h"
#include "platform/Errors.h"
#include "platform/Shell.h"
#include "platform/SpecialFolders.h"
#include "platform/TextList.h"
#include "platform/Wait.h"
#include "platform/ui/MessageBoxes.h"
#include "platform/ui/Named.h"
#include "platform/ui/Tray.h"
#include "platform/ui/WebView.h"
#include "quobex/config/Colours.h"
#include "quobex/config/DataFiles.h"
#include "quobex/config/Version.h"
#include "quobex/engine/UpdaterThread.h"
#include "quobex/present/DetailsPage.h"
#include "quobex/present/OutsideLinks.h"
#include "quobex/settings/Settings.h"
#include "quobex/shell/DataFolder.h"
#include "quobex/store/AddAlert.h"
#include "quobex/store/AlertTreeModel.h"
#include "quobex/store/AlertTreeView.h"
#include "quobex/store/ItemsFile.h"
#include "quobex/store/LatestAlerts.h"
#include "quobex/store/LatestAlertsGrid.h"
#include "quobex/store/NodeWatch.h"
#include "quobex/update/UsagePing.h"
#include "quobex/update/WinVersions.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace quobex {

namespace {

using platform::ui::named;

QTimer* makeTimer(QObject* parent, const char* name, int intervalMs)
{
    auto* timer = named(new QTimer(parent), name);
    timer->setInterval(intervalMs);
    return timer;
}

// CurrentItemNode must never outlive its node: deleting it, alone or with
// its alert or group, and reloading the tree are a selection of none.
class CurrentItemGuard : public AlertTreeObserver {
public:
    explicit CurrentItemGuard(TfrmMainForm& form) : m_form(form) { m_form.Tree.addObserver(this); }
    ~CurrentItemGuard() override { m_form.Tree.removeObserver(this); }

    void nodesAboutToBeRemoved(AlertNode* parent, int first, int last) override
    {
        if (m_form.CurrentItemNode && NodeWatch::removes(parent, first, last, m_form.CurrentItemNode))
            m_form.vtvCurrentAlertsChange(nullptr);
    }
    void treeAboutToBeReset() override
    {
        if (m_form.CurrentItemNode)
            m_form.vtvCurrentAlertsChange(nullptr);
    }

private:
    TfrmMainForm& m_form;
};

// Counts read from a file may be anything; they wrap rather than overflow.
constexpr QRgb kAmber = Colours::kAmberRgb;
constexpr QRgb kTextBlue = Colours::kBlueRgb;

} // namespace

TfrmMainForm::TfrmMainForm(const Services& services, QWidget* parent)
    : QMainWindow(parent), m_services(services), m_ping(std::make_unique<UsagePing>())
{
    buildWindow();
    buildMenus();
    FormCreate();
}

TfrmMainForm::~TfrmMainForm()
{
    m_ending = true;
    abandonFetch();
    // The tree's views go before the tree they observe.
    m_currentItemGuard.reset();
    delete vtvCurrentAlerts;
    vtvCurrentAlerts = nullptr;
}

void TfrmMainForm::setDialogs(TfrmAddAlert* addAlert, TfrmSettings* settings)
{
    m_addAlert = addAlert;
    m_settings = settings;
}

// ---------------------------------------------------------------------------
// The window

void TfrmMainForm::buildWindow()
{
    setObjectName(QStringLiteral("frmMainForm"));
    resize(728, 486);

    sGroupBox1 = named(new QGroupBox(QStringLiteral("Current Alerts")), "sGroupBox1");
    sGroupBox1->setMinimumWidth(361);
    grdLatestAlerts = named(new LatestAlertsGrid, "grdLatestAlerts");
    grdLatestAlerts->setDrawCell([this](QPainter* canvas, int column, int row, const QRect& rect) {
        grdLatestAlertsDrawCell(canvas, column, row, rect);
    });
    connect(grdLatestAlerts, &LatestAlertsGrid::cellSelected, this, &TfrmMainForm::grdLatestAlertsSelectCell);
    btnAddAlert = named(new QPushButton(QStringLiteral("Add Alert")), "btnAddAlert");
    vtvCurrentAlerts = named(new AlertTreeView(Tree), "vtvCurrentAlerts");
    vtvCurrentAlerts->setToolTip(QStringLiteral("Right click to add an alert"));
    connect(vtvCurrentAlerts, &AlertTreeView::selectionChange, this, &TfrmMainForm::vtvCurrentAlertsChange);
    // An alert whose last check failed carries a mark that says why.
    vtvCurrentAlerts->alertModel()->setMarkSource(
        [this](const AlertNode& alert) { return Checks.toolTip(AlertKey::of(alert)); });
    // After the tree's model, so the view has let go of a node before the guard acts.
    m_currentItemGuard = std::make_unique<CurrentItemGuard>(*this);
    btnTellFriend = named(new QPushButton(QStringLiteral("Tell A Friend")), "btnTellFriend");
    btnContact = named(new QPushButton(QStringLiteral("Contact Quobex Software")), "btnContact");

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(btnTellFriend);
    bottom->addStretch(1);
    bottom->addWidget(btnContact);
    auto* left = new QVBoxLayout(sGroupBox1);
    left->addWidget(grdLatestAlerts);
    left->addWidget(btnAddAlert);
    left->addWidget(vtvCurrentAlerts, 1);
    left->addLayout(bottom);

    sGroupBox2 = named(new QGroupBox(QStringLiteral("Details")), "sGroupBox2");
    wbPicture = named(new platform::ui::WebView, "wbPicture");
    btnBuy = named(new QPushButton(QStringLiteral("More Info")), "btnBuy");
    auto* right = new QVBoxLayout(sGroupBox2);
    right->addWidget(wbPicture, 1);
    right->addWidget(btnBuy);
    setUpDetailsView();

    Splitter1 = named(new QSplitter(Qt::Horizontal), "Splitter1");
    Splitter1->addWidget(sGroupBox1);
    Splitter1->addWidget(sGroupBox2);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({361, 728 - 361});
    setCentralWidget(Splitter1);

    mainStatusBar = named(new QStatusBar, "mainStatusBar");
    mainStatusBar->setSizeGripEnabled(true);
    m_statusLabel = named(new QLabel(QStringLiteral("Ready")), "mainStatusBarText");
    mainStatusBar->addWidget(m_statusLabel, 1);
    m_checksLabel = named(new QLabel, "mainStatusBarChecks");
    m_checksLabel->setToolTip(QStringLiteral("A warning mark in the tree shows which alerts, and why."));
    m_checksLabel->hide();
    mainStatusBar->addPermanentWidget(m_checksLabel);
    setStatusBar(mainStatusBar);

    timerStartup = makeTimer(this, "timerStartup", kStartupMs);
    timerFetchAmazon = makeTimer(this, "timerFetchAmazon", 24 * TfrmSettings::kMsPerHour);
    timerPing = makeTimer(this, "timerPing", kPingMs);
    timerCheckForUpdates = makeTimer(this, "timerCheckForUpdates", kCheckForUpdatesMs);
    connect(timerStartup, &QTimer::timeout, this, &TfrmMainForm::timerStartupTimer);
    connect(timerFetchAmazon, &QTimer::timeout, this, &TfrmMainForm::timerFetchAmazonTimer);
    connect(timerPing, &QTimer::timeout, this, &TfrmMainForm::timerPingTimer);
    connect(timerCheckForUpdates, &QTimer::timeout, this, &TfrmMainForm::timerCheckForUpdatesTimer);

    connect(btnAddAlert, &QPushButton::clicked, this, &TfrmMainForm::AddAlert1Click);
    connect(btnBuy, &QPushButton::clicked, this, &TfrmMainForm::btnBuyClick);
    connect(btnTellFriend, &QPushButton::clicked, this, &TfrmMainForm::btnTellFriendClick);
    connect(btnContact, &QPushButton::clicked, this, &TfrmMainForm::btnContactClick);
}

void TfrmMainForm::buildMenus()
{
    popupTray = named(new QMenu(QStringLiteral("Quobex"), this), "popupTray");
    ShowCurrentAlerts2 = named(popupTray->addAction(QStringLiteral("Show Current Alerts")), "ShowCurrentAlerts2");
    QueryAmazonNow2 = named(popupTray->addAction(QStringLiteral("Check Alerts Now")), "QueryAmazonNow2");
    CheckForUpdates1 = named(popupTray->addAction(QStringLiteral("Check For Updates")), "CheckForUpdates1");
    NotificationSettings1 =
        named(popupTray->addAction(QStringLiteral("Notification Settings")), "NotificationSettings1");
    Exit2 = named(popupTray->addAction(QStringLiteral("Exit")), "Exit2");
    connect(ShowCurrentAlerts2, &QAction::triggered, this, &TfrmMainForm::ShowCurrentAlerts1Click);
    connect(QueryAmazonNow2, &QAction::triggered, this, &TfrmMainForm::QueryAmazonNow1Click);
    connect(CheckForUpdates1, &QAction::triggered, this, &TfrmMainForm::CheckForUpdates1Click);
    connect(NotificationSettings1, &QAction::triggered, this, &TfrmMainForm::NotificationSettings1Click);
    connect(Exit2, &QAction::triggered, this, &TfrmMainForm::Exit1Click);

    popupTreeView = named(new QMenu(this), "popupTreeView");
    AddAlert1 = named(popupTreeView->addAction(QStringLiteral("Add Alert")), "AddAlert1");
    DeleteAlert1 = named(popupTreeView->addAction(QStringLiteral("Delete Alert")), "DeleteAlert1");
    DeleteEntry1 = named(popupTreeView->addAction(QStringLiteral("Delete Entry")), "DeleteEntry1");
    connect(AddAlert1, &QAction::triggered, this, &TfrmMainForm::AddAlert1Click);
    connect(DeleteAlert1, &QAction::triggered, this, &TfrmMainForm::DeleteAlert1Click);
    connect(DeleteEntry1, &QAction::triggered, this, &TfrmMainForm::DeleteEntry1Click);
    vtvCurrentAlerts->setPopupMenu(popupTreeView);

    platform::ui::Tray* tray = m_services.tray;
    tray->setWindow(this);
    tray->setMenu(popupTray);
    tray->setImages(
        {QIcon(QStringLiteral(":/quobex/tray-normal.png")), QIcon(QStringLiteral(":/quobex/tray-new.png"))});
    connect(tray, &platform::ui::Tray::doubleClicked, this, &TfrmMainForm::JvTrayIcon1DblClick);

    // Without a notification area the tray menu's commands live in the
    // window, so the program can always be reached and ended.
    if (!tray->isAvailable())
        menuBar()->addMenu(popupTray);
}

QString TfrmMainForm::statusText() const
{
    return m_statusLabel->text();
}

void TfrmMainForm::setStatusText(const QString& text)
{
    m_statusLabel->setText(text);
    Q_EMIT statusTextChanged(text);
}

void TfrmMainForm::requestApplicationEnd(int exitCode)
{
    if (m_services.requestEnd)
        m_services.requestEnd(exitCode);
}

void TfrmMainForm::processPendingMessages()
{
    QCoreApplication::processEvents();
}

QString TfrmMainForm::dataFolder() const
{
    return DataFolder::path();
}

QByteArray TfrmMainForm::helpPageAddress() const
{
    return m_services.endpoints.makerServer + "/exe/help/index.html";
}

// ---------------------------------------------------------------------------
// Start-up

void TfrmMainForm::checkDataFolder(const QString& path)
{
    if (platform::EnsureFolder(path))
        return;
    m_services.messages->inform(this, QStringLiteral("Error creating config folder: ") + platform::NativePath(path));
    requestApplicationEnd(1);
}

void TfrmMainForm::FormCreate()
{
    VersionText = kVersionText;
    AgentText = "Quobex " + VersionText + " " + OSDescription();
    Busy = false;
    setWindowTitle(QStringLiteral("Quobex ") + QString::fromLatin1(VersionText) + QStringLiteral(" - Current Alerts"));

    checkDataFolder(DataFolder::pathWithoutSeparator());
    const QString folder = dataFolder();
    // A folder that could not be made has been reported already.
    try {
        if (QFileInfo(folder).isDir())
            DataFolder::applyVersionMarker(folder, VersionText);
    } catch (const platform::IoError& e) {
        m_services.messages->error(this, QString::fromLocal8Bit(e.what()));
    }

    LoadAlertDefinitions();

    NewTitles.clear();
    LatestAlertList.clear();
    const QString index = folder + DataFiles::kLatestAlertIndex;
    try {
        LatestAlerts::load(index, LatestAlertList);
    } catch (const platform::IoError& e) {
        reportIndexError(QString::fromLocal8Bit(e.what()));
    }

    Tree.Clear();
    CurrentItemNode = nullptr;
    btnBuy->setEnabled(false);
    ExitRequested = false;

    SeenProducts = SeenItems::load(folder + DataFiles::kSeenItems);
    Checks = AlertChecks::load(folder + DataFiles::kAlertChecks);
    showCheckResults();
}

void TfrmMainForm::showCheckResults()
{
    m_services.tray->setToolTip(Checks.trayToolTip());
    const QString failures = Checks.failuresText();
    m_checksLabel->setText(failures);
    m_checksLabel->setVisible(!failures.isEmpty());
}

void TfrmMainForm::StartUp()
{
    checkDataFolder(dataFolder());
    m_services.tray->activate();
    timerFetchAmazon->start();
    timerStartup->start();
    timerPing->start();
    timerCheckForUpdates->start();
}

void TfrmMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmMainForm::FormShow()
{
    wbPicture->Navigate(helpPageAddress());
    LoadCurrentAlerts();
    RefreshLatestAlerts();
    // What the tree holds has been brought already, also in a data folder
    // from before the seen lists were kept.
    if (SeenProducts.absorb(Tree)) {
        try {
            SeenProducts.save(dataFolder() + DataFiles::kSeenItems);
        } catch (const platform::IoError&) {
            // Kept in memory; the next fetch's completion writes it again.
        }
    }
}

// ---------------------------------------------------------------------------
// Hiding, showing and ending

void TfrmMainForm::ShowCurrentAlerts1Click()
{
    m_services.tray->showApplication();
}

void TfrmMainForm::JvTrayIcon1DblClick()
{
    m_services.tray->showApplication();
}

void TfrmMainForm::Exit1Click()
{
    if (Busy)
        return;
    ExitRequested = true;
    close();
}

void TfrmMainForm::closeEvent(QCloseEvent* event)
{
    if (!ExitRequested) {
        event->ignore();
        m_services.tray->hideApplication();
        return;
    }
    try {
        SaveCurrentAlerts();
    } catch (const std::exception& e) {
        // The program keeps running; the next close tries the save again.
        event->ignore();
        m_services.messages->error(this, QString::fromLocal8Bit(e.what()));
        return;
    }
    // The program is on its way out: a fetch asked for while the save let
    // events through must not start now.
    m_ending = true;
    m_fetchPending = false;
    event->accept();
    requestApplicationEnd(0);
}

void TfrmMainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Minimising puts the program into the tray, where there is one.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
        m_services.tray->isAvailable())
        QTimer::singleShot(0, this, [this] {
            if (windowState() & Qt::WindowMinimized)
                m_services.tray->hideApplication();
        });
}

void TfrmMainForm::EndSession()
{
    if (m_ending)
        return;
    m_ending = true;
    // A running fetch is given up; what it merged so far is kept and saved,
    // cut to the newest items per alert as its completion would have.
    if (isFetching()) {
        abandonFetch();
        Tree.TrimAndRecount(keepArticles());
    }
    int exitCode = 0;
    try {
        SaveCurrentAlerts();
    } catch (const std::exception&) {
        // The previous items file stays whole; there is nobody left to tell.
        exitCode = 1;
    }
    // What a given-up fetch brought stays seen, also what it cut away.
    saveFetchRecords(false);
    requestApplicationEnd(exitCode);
}

// ---------------------------------------------------------------------------
// Timers and tray commands

void TfrmMainForm::timerStartupTimer()
{
    timerStartup->stop();
    CheckForNewVersion();
    timerFetchAmazonTimer();
}

void TfrmMainForm::timerFetchAmazonTimer()
{
    // A request that comes while the completion or a save holds Busy, from
    // the events they let through, cannot wait here: what would clear Busy
    // is below it on the stack. It runs as soon as that has ended.
    if (Busy && m_busyHolders > 0) {
        m_fetchPending = true;
        return;
    }
    // Any other request during a fetch waits for its completion, then starts anew.
    if (!platform::WaitWhile([this] { return Busy; }, 50) || m_ending)
        return;
    Busy = true;
    NewTitles.clear();
    TUpdaterThread::MainWindowState state;
    state.tree = &Tree;
    state.definitions = &Definitions;
    state.newTitles = &NewTitles;
    state.seen = &SeenProducts;
    state.checks = &Checks;
    state.keepArticles = [this] { return keepArticles(); };
    state.showStatus = [this](const QString& text) { setStatusText(text); };
    m_fetchErrors.clear();
    state.reportError = [this](const QString& text) { m_fetchErrors.append(text); };
    // Only a worker that runs ever clears Busy (through FetchCompleted); one
    // that cannot be made or started must not leave it set, or every later
    // fetch and Exit would wait for it for ever.
    TUpdaterThread* thread = nullptr;
    bool started = false;
    try {
        thread = new TUpdaterThread(m_services.endpoints, std::move(state), dataFolder());
        connect(thread, &QThread::finished, this, &TfrmMainForm::FetchCompleted);
        m_fetchThread = thread;
        started = startThread(*thread);
    } catch (const std::exception&) {
        started = false;
    }
    if (!started) {
        delete thread;
        m_fetchThread = nullptr;
        Busy = false;
        setStatusText(QStringLiteral("Ready"));
        m_services.messages->error(this, QStringLiteral("Cannot start checking the alerts: the system did not start "
                                                        "another thread. The next check tries again."));
    }
}

bool TfrmMainForm::startThread(QThread& thread)
{
    if (m_services.startThread)
        return m_services.startThread(thread);
    thread.start();
    // A thread the system would not create is neither running nor finished.
    return thread.isRunning() || thread.isFinished();
}

void TfrmMainForm::abandonFetch()
{
    if (!m_fetchThread)
        return;
    m_fetchThread->requestInterruption();
    // The worker may be waiting for a hand-over: keep handing over while it
    // winds down. Events are processed directly, since this also runs after
    // the message loop has ended.
    QElapsedTimer clock;
    clock.start();
    while (m_fetchThread && !m_fetchThread->isFinished() && clock.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

int TfrmMainForm::keepArticles() const
{
    return m_settings ? m_settings->keepArticles() : 20;
}

void TfrmMainForm::BusyHold::release()
{
    if (--form->m_busyHolders == 0 && form->m_fetchPending) {
        QTimer::singleShot(0, form, [f = form] {
            if (!f->m_fetchPending || f->m_ending)
                return;
            f->m_fetchPending = false;
            f->timerFetchAmazonTimer();
        });
    }
}

void TfrmMainForm::FetchCompleted()
{
    if (m_ending) {
        // The program is ending: it saves the tree itself.
        Busy = false;
        return;
    }
    const BusyHold hold(this);
    Tree.TrimAndRecount(keepArticles());
    setStatusText(QStringLiteral("Saving Results..."));
    bool saved = true;
    try {
        SaveCurrentAlerts();
    } catch (const std::exception& e) {
        // Reloading the old file would throw away what this fetch found;
        // the tree stays as it is and the next save tries again.
        saved = false;
        m_services.messages->error(this, QString::fromLocal8Bit(e.what()));
    }
    if (saved)
        LoadCurrentAlerts(true);
    saveFetchRecords();
    showCheckResults();

    platform::ui::Tray* tray = m_services.tray;
    if (NewTitles.isEmpty()) {
        tray->setImageIndex(0);
    } else {
        tray->setImageIndex(1);
        if (m_settings && m_settings->showBaloon()) {
            QString text;
            for (const QByteArray& title : NewTitles)
                text += platform::CodePage::toUnicode(title) + QStringLiteral("\r\n");
            tray->showBalloon(QStringLiteral("Quobex Alert"), text, kBalloonTimeHintMs);
        }
        if (m_settings && m_settings->playSound())
            tray->beep();
        if (m_settings && m_settings->showBrowser())
            tray->showApplication(); // up from the tray, and to the front
    }
    RefreshLatestAlerts();
    // What the fetch could not store, told once it has ended.
    const QStringList errors = std::exchange(m_fetchErrors, {});
    for (const QString& text : errors)
        m_services.messages->error(this, text);
    setStatusText(QStringLiteral("Ready"));
    Busy = false;
}

void TfrmMainForm::saveFetchRecords(bool tell)
{
    try {
        SeenProducts.save(dataFolder() + DataFiles::kSeenItems);
        Checks.save(dataFolder() + DataFiles::kAlertChecks);
    } catch (const platform::IoError& e) {
        if (tell)
            m_services.messages->error(this, QString::fromLocal8Bit(e.what()));
    }
}

void TfrmMainForm::timerPingTimer()
{
    AgentText = "Quobex " + VersionText + " " + OSDescription();
    // Off the main thread, beside fetches and checks; a ping still in
    // flight is not sent twice.
    m_ping->send(m_services.endpoints.makerServer + "/exe/ping.php", AgentText);
}

void TfrmMainForm::timerCheckForUpdatesTimer()
{
    CheckForNewVersion();
}

void TfrmMainForm::CheckForNewVersion()
{
    // One check at a time: one that comes while another waits, asks the
    // server or shows its question does nothing.
    if (m_checkingForUpdate || m_ending)
        return;
    m_checkingForUpdate = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_checkingForUpdate};

    if (!platform::WaitWhile([this] { return Busy; }, 1000) || m_ending)
        return;
    const QByteArray current = VersionText;
    const std::optional<QByteArray> server =
        UpdateCheck::FetchServerVersion(m_services.endpoints.makerServer, AgentText, m_updateCheckTimeouts);
    if (m_ending || !server || !UpdateCheck::IsNewerVersion(current, *server))
        return;
    if (!m_services.messages->confirm(this, UpdateCheck::kConfirmTitle, UpdateCheck::kConfirmText) || m_ending)
        return;
    startUpdaterAndEnd();
}

void TfrmMainForm::startUpdaterAndEnd()
{
    const QString executable = m_executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : m_executablePath;
    const QString updater = UpdateCheck::UpdaterPath(executable);
    const QFileInfo updaterFile(updater);
    auto cannotStart = [this, &updater] {
        m_services.messages->inform(this, UpdateCheck::kCannotStartUpdater + platform::NativePath(updater));
    };
    // A path that names this program itself would only start it again.
    if (!updaterFile.isFile() || !updaterFile.isExecutable() ||
        updaterFile.canonicalFilePath() == QFileInfo(executable).canonicalFilePath()) {
        cannotStart();
        return;
    }
    // Ending as Exit does: a running fetch is given up safely, what it
    // merged is kept, and the items file is saved before Updater starts.
    m_ending = true;
    if (isFetching()) {
        abandonFetch();
        Tree.TrimAndRecount(keepArticles());
    }
    try {
        SaveCurrentAlerts();
    } catch (const std::exception& e) {
        m_ending = false;
        m_services.messages->error(this, QString::fromLocal8Bit(e.what()));
        return;
    }
    saveFetchRecords(false);
#ifdef Q_OS_WIN
    const bool started = m_services.shell->openDocument(updater);
#else
    const bool started = m_services.shell->startProgram(updater, {});
#endif
    if (!started) {
        m_ending = false;
        cannotStart();
        return;
    }
    requestApplicationEnd(0);
}

void TfrmMainForm::QueryAmazonNow1Click()
{
    timerFetchAmazonTimer();
}

void TfrmMainForm::CheckForUpdates1Click()
{
    CheckForNewVersion();
}

void TfrmMainForm::NotificationSettings1Click()
{
    if (m_settings)
        m_settings->exec();
}

// ---------------------------------------------------------------------------
// Alert store

void TfrmMainForm::LoadAlertDefinitions()
{
    setStatusText(QStringLiteral("Loading keyword list"));
    Definitions.KeywordList.clear();
    processPendingMessages();
    try {
        Definitions = AlertDefinitions::load(dataFolder());
    } catch (const platform::IoError& e) {
        // A file that cannot be read must not count as missing: that would
        // make the lists unequal and throw the items file away.
        Definitions.clear();
        m_services.messages->error(this, QString::fromLocal8Bit(e.what()));
    }
}

void TfrmMainForm::SaveAlertDefinitions()
{
    setStatusText(QStringLiteral("Saving results"));
    processPendingMessages();
    Definitions.save(dataFolder());
    setStatusText(QStringLiteral("Ready"));
}

void TfrmMainForm::SaveCurrentAlerts()
{
    // Whatever happens, the status and Busy come back; errors go to the caller.
    const BusyHold hold(this);
    struct Restore {
        TfrmMainForm* form;
        bool wasBusy;
        ~Restore()
        {
            form->setStatusText(QStringLiteral("Ready"));
            form->Busy = wasBusy;
        }
    } restore{this, Busy};
    Busy = true;
    setStatusText(QStringLiteral("Saving current alerts"));
    processPendingMessages();
    ItemsFile::save(Tree, dataFolder() + DataFiles::kItems);
}

void TfrmMainForm::LoadCurrentAlerts(bool keepTreeOnFailure)
{
    // A fetch keeps keys, not nodes, between its hand-overs, so a reload
    // while one runs takes nothing from under it.
    setStatusText(QStringLiteral("Loading current alerts"));
    processPendingMessages();
    if (!keepTreeOnFailure) {
        const QString path = dataFolder() + DataFiles::kItems;
        if (ItemsFile::load(path, Tree) == ItemsFile::LoadResult::Malformed)
            setAsideUnreadableItems(path);
    } else {
        // Right after a save the tree in memory is what the file should
        // hold: a read that fails must not empty it, or the next save would
        // write the empty tree over the good file.
        AlertTree loaded;
        if (ItemsFile::load(dataFolder() + DataFiles::kItems, loaded) == ItemsFile::LoadResult::Loaded) {
            // The user's place survives the reload: the product being read
            // stays shown, expanded nodes stay expanded, the view stays put.
            const AlertTreeView::Place place = vtvCurrentAlerts->place();
            const bool reading = CurrentItemNode != nullptr;
            CurrentItemNode = nullptr; // not a selection of none: the page stays
            Tree.TakeContentOf(loaded);
            AlertNode* again = vtvCurrentAlerts->restorePlace(place);
            if (again && !again->data.Title.isEmpty())
                CurrentItemNode = again;
            else if (reading)
                vtvCurrentAlertsChange(nullptr); // the product is gone
        }
    }
    setStatusText(QStringLiteral("Ready"));
}

void TfrmMainForm::reportIndexError(const QString& text)
{
    // The index is read at start-up and after every fetch: the same failure
    // is told once, until the file reads again.
    if (text == m_indexError)
        return;
    m_indexError = text;
    m_services.messages->error(this, text);
}

void TfrmMainForm::setAsideUnreadableItems(const QString& path)
{
    // The tree starts empty, and its next save would silently replace the
    // products the user had: the file is kept under another name first.
    try {
        const QString aside = ItemsFile::moveAside(path, QDateTime::currentDateTime());
        m_services.messages->error(
            this, QStringLiteral("The found products in \"%1\" could not be read. The file has been kept as \"%2\"; "
                                 "Quobex starts with no found products.")
                      .arg(platform::NativePath(path), platform::NativePath(aside)));
    } catch (const platform::IoError& e) {
        m_services.messages->error(this, QString::fromLocal8Bit(e.what()));
    }
}

void TfrmMainForm::RefreshLatestAlerts()
{
    try {
        LatestAlerts::load(dataFolder() + DataFiles::kLatestAlertIndex, LatestAlertList);
        m_indexError.clear();
    } catch (const platform::IoError& e) {
        // An index that cannot be read leaves the list as it was.
        reportIndexError(QString::fromLocal8Bit(e.what()));
    }
    const int rows = int(std::max<qsizetype>(1, LatestAlertList.size()));
    const bool currentMoves = grdLatestAlerts->currentRow() >= rows;
    if (currentMoves)
        grdLatestAlerts->setCurrentRowQuietly(rows - 1);
    grdLatestAlerts->setRowCount(rows);
    // The current row moved to the new last row: that counts as choosing it.
    if (currentMoves)
        grdLatestAlertsSelectCell(0, rows - 1);
    for (int row = 0; row < LatestAlertList.size(); ++row) {
        QTableWidgetItem* cell = grdLatestAlerts->item(row, 0);
        if (!cell) {
            cell = new QTableWidgetItem;
            grdLatestAlerts->setItem(row, 0, cell);
        }
        cell->setText(QString());
        cell->setText(platform::CodePage::toUnicode(LatestAlerts::rowText(Tree, LatestAlertList.at(row))));
    }
    grdLatestAlerts->viewport()->update();
}

AlertNode* TfrmMainForm::FindNodeByASIN(const QByteArray& asin) const
{
    return LatestAlerts::FindNodeByASIN(Tree, asin);
}

void TfrmMainForm::grdLatestAlertsDrawCell(QPainter* Canvas, int ACol, int ARow, const QRect& Rect)
{
    QFont font(QStringLiteral("Verdana"));
    font.setPointSize(8);
    font.setBold(true);
    Canvas->save();
    Canvas->setClipRect(Rect);
    Canvas->setFont(font);
    Canvas->setPen(QColor(kTextBlue));
    if (LatestAlertList.isEmpty()) {
        Canvas->fillRect(Rect, QColor(kAmber));
        Canvas->drawText(Rect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, QStringLiteral("No alerts yet."));
    } else {
        Canvas->fillRect(Rect, ARow == grdLatestAlerts->currentRow() ? QColor(kAmber) : QColor(Qt::white));
        const QTableWidgetItem* cell = grdLatestAlerts->item(ARow, ACol);
        if (cell)
            Canvas->drawText(Rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, cell->text());
    }
    Canvas->restore();
}

void TfrmMainForm::grdLatestAlertsSelectCell(int, int ARow)
{
    if (ARow < 0 || ARow >= LatestAlertList.size())
        return;
    AlertNode* node = FindNodeByASIN(LatestAlertList.at(ARow));
    vtvCurrentAlerts->focusNode(node);
    if (node)
        vtvCurrentAlerts->selectNode(node);
}

void TfrmMainForm::AddAlert1Click()
{
    if (m_addAlert && m_addAlert->exec() == QDialog::Accepted)
        timerFetchAmazonTimer();
}

void TfrmMainForm::DeleteAlert1Click()
{
    AlertNode* selected = vtvCurrentAlerts->selectedNode();
    if (!selected) {
        m_services.messages->inform(this, QStringLiteral("No alert selected for delete."));
        return;
    }
    if (selected->parent() == Tree.root()) {
        m_services.messages->inform(this, QStringLiteral("Please select an alert, not a category."));
        return;
    }
    AlertNode* alert = selected;
    while (alert->parent()->parent() != Tree.root())
        alert = alert->parent();

    // Saving lets pending events run, and with them a fetch's hand-over or
    // another command: the lists and the tree may change meanwhile.
    const QString keyword = alert->data.Keyword;
    const QString localization = alert->data.Localization;
    const NodeWatch watch(Tree, alert);
    // A deleted alert forgets what it brought and how its checks went: added
    // again, it starts afresh.
    QList<AlertKey> forgotten{AlertKey::of(*alert)};
    for (qsizetype i = Definitions.count() - 1; i >= 0; --i) {
        if (i >= Definitions.count())
            continue;
        if (platform::CodePage::toUnicode(Definitions.KeywordList.at(i)) == keyword &&
            platform::CodePage::toUnicode(Definitions.LocalizationList.at(i)) == localization) {
            forgotten.append({platform::CodePage::toUnicode(Definitions.ItemTypeList.at(i)), keyword, localization});
            Definitions.removeAt(i);
            try {
                SaveAlertDefinitions();
            } catch (const platform::IoError& e) {
                // The command ends here; the lists in memory stay as they
                // are and the next add or delete writes them.
                m_services.messages->error(this, QString::fromLocal8Bit(e.what()));
                return;
            }
        }
    }

    alert = watch.node();
    if (alert) {
        AlertNode* group = alert->parent();
        if (group->childCount() == 1) {
            Tree.DeleteNode(group);
        } else {
            group->data.NewCount = countLess(group->data.NewCount, alert->data.NewCount);
            group->data.UnreadCount = countLess(group->data.UnreadCount, alert->data.UnreadCount);
            Tree.Invalidate(group);
            Tree.DeleteNode(alert);
        }
    }
    bool forgot = false;
    for (const AlertKey& key : forgotten) {
        forgot = SeenProducts.forget(key) || forgot;
        forgot = Checks.forget(key) || forgot;
    }
    if (forgot)
        saveFetchRecords();
    vtvCurrentAlerts->viewport()->update();
}

void TfrmMainForm::DeleteEntry1Click()
{
    AlertNode* item = CurrentItemNode;
    if (!item)
        return;
    if (isTrue(item->data.IsNew)) {
        // Its alert node and its group node.
        AlertNode* up = item->parent();
        for (int step = 0; step < 2 && up && up != Tree.root(); ++step, up = up->parent()) {
            up->data.NewCount = countLess(up->data.NewCount, 1);
            Tree.Invalidate(up);
        }
    }
    Tree.DeleteNode(item);
    CurrentItemNode = nullptr;
    vtvCurrentAlerts->viewport()->update();
}

// ---------------------------------------------------------------------------
// Item details

void TfrmMainForm::vtvCurrentAlertsChange(AlertNode* node)
{
    if (!node || node->data.Title.isEmpty()) {
        btnBuy->setEnabled(false);
        CurrentItemNode = nullptr;
        wbPicture->Navigate(helpPageAddress());
        return;
    }
    Tree.MarkRead(node);
    CurrentItemNode = node;
    btnBuy->setEnabled(true);
    showItemPage(node);
}

AlertNode* TfrmMainForm::firstSelectedNode() const
{
    return Tree.FindFirst([](const AlertNode& node) { return node.selected; });
}

void TfrmMainForm::setUpDetailsView()
{
    QFile help(QStringLiteral(":/quobex/help.html"));
    if (help.open(QIODevice::ReadOnly))
        wbPicture->setFallbackPage(QString::fromUtf8(help.readAll()));
    // Links of a page (the product picture among them) open in the browser,
    // never inside the view.
    connect(wbPicture, &platform::ui::WebView::linkActivated, this,
            [this](const QString& address) { m_services.shell->openInBrowser(address); });
}

void TfrmMainForm::showItemPage(AlertNode* node)
{
    const TAlertNodeData& item = node->data;
    const QByteArray pictureLink = PictureLink(m_services.endpoints.makerServer, item);
    wbPicture->ShowHtml(BuildDetailsPage(item, pictureLink, QLocale()));
}

// ---------------------------------------------------------------------------
// Outside links

void TfrmMainForm::btnBuyClick()
{
    // The button is only enabled while an item shows, but the selection is
    // what counts.
    const AlertNode* node = firstSelectedNode();
    if (!node || node->data.Title.isEmpty())
        return;
    m_services.shell->openInBrowser(QString::fromLatin1(MoreInfoAddress(m_services.endpoints.makerServer, node->data)));
}

void TfrmMainForm::btnTellFriendClick()
{
    m_services.shell->openInBrowser(QString::fromLatin1(TellFriendAddress(m_services.endpoints.makerServer)));
}

void TfrmMainForm::btnContactClick()
{
    m_services.shell->openInBrowser(QString::fromLatin1(ContactAddress(m_services.endpoints.makerServer)));
}

} // namespace quobex
