#pragma once

#include "quobex/model/AlertTree.h"
#include "quobex/shell/Services.h"
#include "quobex/store/AlertChecks.h"
#include "quobex/store/AlertDefinitions.h"
#include "quobex/store/SeenItems.h"
#include "quobex/update/UpdateCheck.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QThread>

#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPainter;
class QRect;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTimer;

namespace platform::ui {
class WebView;
}

namespace quobex {

class AlertTreeView;
class LatestAlertsGrid;
class TfrmAddAlert;
class TfrmSettings;
class TUpdaterThread;
class UsagePing;

// The main window: the alert tree with the latest alerts above it, the
// details of the selected product, the tray icon with its menu and the
// timers that drive everything that happens without the user.
class TfrmMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and runs FormCreate.
    explicit TfrmMainForm(const Services& services, QWidget* parent = nullptr);
    ~TfrmMainForm() override;

    void setDialogs(TfrmAddAlert* addAlert, TfrmSettings* settings);
    TfrmAddAlert* addAlertForm() const { return m_addAlert; }
    TfrmSettings* settingsForm() const { return m_settings; }
    const Services& services() const { return m_services; }

    void StartUp();

    QString statusText() const;
    void setStatusText(const QString& text);

    // Fields
    QByteArray VersionText;
    QByteArray AgentText;
    bool Busy = false;
    bool ExitRequested = false;
    AlertNode* CurrentItemNode = nullptr;
    AlertDefinitions Definitions; // KeywordList, ItemTypeList, LocalizationList
    QList<QByteArray> NewTitles;
    QList<QByteArray> LatestAlertList;
    AlertTree Tree;         // the records of vtvCurrentAlerts
    SeenItems SeenProducts; // what each alert brought, so nothing is new twice
    AlertChecks Checks;     // how each alert's checks and the last fetch went

    // Controls
    QGroupBox* sGroupBox1;
    LatestAlertsGrid* grdLatestAlerts;
    QPushButton* btnAddAlert;
    AlertTreeView* vtvCurrentAlerts;
    QPushButton* btnTellFriend;
    QPushButton* btnContact;
    QSplitter* Splitter1;
    QGroupBox* sGroupBox2;
    platform::ui::WebView* wbPicture;
    QPushButton* btnBuy;
    QStatusBar* mainStatusBar;
    QMenu* popupTray;
    QMenu* popupTreeView;
    QAction* ShowCurrentAlerts2;
    QAction* QueryAmazonNow2;
    QAction* CheckForUpdates1;
    QAction* NotificationSettings1;
    QAction* Exit2;
    QAction* AddAlert1;
    QAction* DeleteAlert1;
    QAction* DeleteEntry1;
    QTimer* timerStartup;
    QTimer* timerFetchAmazon;
    QTimer* timerPing;
    QTimer* timerCheckForUpdates;

    static constexpr int kStartupMs = 10000;
    static constexpr int kPingMs = 60000;
    static constexpr int kCheckForUpdatesMs = 3600000;
    static constexpr int kBalloonTimeHintMs = 100000;

public Q_SLOTS:
    // Tray menu and tray icon
    void ShowCurrentAlerts1Click();
    void JvTrayIcon1DblClick();
    void QueryAmazonNow1Click();
    void CheckForUpdates1Click();
    void NotificationSettings1Click();
    void Exit1Click();

    // Timers
    void timerStartupTimer();
    void timerFetchAmazonTimer();
    void timerPingTimer();
    void timerCheckForUpdatesTimer();

    // Alert tree commands
    void AddAlert1Click();
    void DeleteAlert1Click();
    void DeleteEntry1Click();

    // Latest alerts list: a row became the current row.
    void grdLatestAlertsSelectCell(int ACol, int ARow);

    // The selection of the alert tree changed to `node` (none: nothing selected).
    void vtvCurrentAlertsChange(quobex::AlertNode* node);

    // Buttons that lead out of the program
    void btnBuyClick();
    void btnTellFriendClick();
    void btnContactClick();

    // Ends the program the way Exit does, also while a fetch runs: the
    // signal of the system or the end of the desktop session.
    void EndSession();

Q_SIGNALS:
    void statusTextChanged(const QString& text);

public:
    // The program ends as soon as its message loop runs.
    void requestApplicationEnd(int exitCode);

    void LoadAlertDefinitions();
    void SaveAlertDefinitions();
    void SaveCurrentAlerts();
    // Replaces the tree by the items file. With `keepTreeOnFailure` a file
    // that cannot be read back leaves the tree as it is instead of empty.
    void LoadCurrentAlerts(bool keepTreeOnFailure = false);
    void RefreshLatestAlerts();
    // The first node in pre-order whose ASIN is `asin`, or none.
    AlertNode* FindNodeByASIN(const QByteArray& asin) const;
    // Paints one cell of the latest alerts list.
    void grdLatestAlertsDrawCell(QPainter* Canvas, int ACol, int ARow, const QRect& Rect);
    void CheckForNewVersion();
    // The usage ping's sender: whether a ping is in flight, how many went out.
    UsagePing& usagePing() const { return *m_ping; }
    // How long the update check waits for the maker's server.
    void setUpdateCheckTimeouts(const UpdateCheck::Timeouts& timeouts) { m_updateCheckTimeouts = timeouts; }
    // The executable beside which Updater is looked for (the running one unless set).
    void setExecutablePath(const QString& path) { m_executablePath = path; }
    // The end handler of every fetch: trims and recounts the tree, stores
    // and reloads it, and tells the user about new products.
    void FetchCompleted();
    // The number of items kept per alert and in the latest alerts, as the
    // settings hold it now.
    int keepArticles() const;
    bool isFetching() const { return m_fetchThread && !m_fetchThread->isFinished(); }

    // The data folder with its trailing separator.
    QString dataFolder() const;
    QByteArray helpPageAddress() const;
    // The first selected node of the alert tree in pre-order, or none.
    AlertNode* firstSelectedNode() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildWindow();
    void buildMenus();
    void FormCreate();
    void FormShow();
    void checkDataFolder(const QString& path);
    void setUpDetailsView();
    void showItemPage(AlertNode* node);
    void processPendingMessages();
    // Stores the seen lists and the check records; a failure is reported
    // when `tell`.
    void saveFetchRecords(bool tell = true);
    // Stops a running fetch and waits until its worker has ended.
    void abandonFetch();
    // Ends the program the way Exit does and starts Updater; when Updater is
    // missing or cannot start, says so and the program keeps running.
    void startUpdaterAndEnd();
    // Tells the user that the latest-alert index cannot be read, once.
    void reportIndexError(const QString& text);
    // Moves an items file that could not be read aside and tells the user.
    void setAsideUnreadableItems(const QString& path);
    // Shows how the last fetch went: the tray icon's tooltip, and a line on the
    // status bar while alerts failed.
    void showCheckResults();
    // Starts the fetch worker; false when it could not be started.
    bool startThread(QThread& thread);

    Services m_services;
    TfrmAddAlert* m_addAlert = nullptr;
    TfrmSettings* m_settings = nullptr;
    QLabel* m_statusLabel = nullptr;
    QLabel* m_checksLabel = nullptr;
    bool m_shown = false;
    bool m_ending = false;
    QPointer<QThread> m_fetchThread; // the running fetch's worker
    // The completion and the items-file save hold Busy while they let events
    // through; a fetch asked for meanwhile is started once they are done.
    struct BusyHold {
        explicit BusyHold(TfrmMainForm* f) : form(f) { ++form->m_busyHolders; }
        ~BusyHold() { release(); }
        BusyHold(const BusyHold&) = delete;
        BusyHold& operator=(const BusyHold&) = delete;
        void release();
        TfrmMainForm* form;
    };
    int m_busyHolders = 0;
    bool m_fetchPending = false;
    // The usage ping and the update check.
    std::unique_ptr<UsagePing> m_ping;
    UpdateCheck::Timeouts m_updateCheckTimeouts;
    QString m_executablePath;
    bool m_checkingForUpdate = false;
    // Errors the running fetch handed over, shown by its completion.
    QStringList m_fetchErrors;
    // The last failure to read the latest-alert index that the user was told.
    QString m_indexError;
    // Turns the deletion or reload of CurrentItemNode into a selection of none.
    std::unique_ptr<AlertTreeObserver> m_currentItemGuard;
};

} // namespace quobex
