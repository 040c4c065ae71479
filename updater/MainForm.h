#pragma once

#include "updater/InstallerDownload.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <functional>
#include <memory>

class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;
class QStatusBar;
class QThread;
class QTimer;

namespace platform {
class Shell;
}
namespace platform::ui {
class MessageBoxes;
class WebView;
} // namespace platform::ui

namespace updater {

// What the window needs of the world outside it; tests pass loopback
// addresses, a test key and recording stand-ins.
struct Services {
    UpdaterEndpoints endpoints;
    platform::Shell* shell = nullptr;
    platform::ui::MessageBoxes* messages = nullptr;
    // Asks the program to end with `exitCode` as soon as its message loop runs.
    std::function<void(int exitCode)> requestEnd;
};

// Updater's one window: two seconds after it opens it fetches the
// installer with its progress on show, and the page of changes beside it;
// then it starts the verified installer and closes.
class TfrmMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMainForm(Services services, QWidget* parent = nullptr);
    ~TfrmMainForm() override;

    // The folder the installer goes to, with its trailing separator.
    static QString downloadFolder();
    // True while the installer is on its way.
    bool isDownloading() const;
    // How long the download may go without data (tests shorten it).
    void setDownloadTimeouts(int inactivityMs, int totalMs);

    // Fields
    QElapsedTimer StartTime; // monotonic: it never wraps nor jumps with the clock
    qint64 TotalBytes = 0;

    // Controls
    QLabel* lblDownloadSize;
    QProgressBar* sGauge1;
    QLabel* sLabel1;
    QLabel* lblElapsed;
    QLabel* sLabel2;
    QLabel* lblRemaining;
    QLabel* sLabel3;
    QLabel* lblSpeed;
    QLabel* sPanel1;
    QGroupBox* sGroupBox1;
    platform::ui::WebView* WebBrowser1;
    QStatusBar* sStatusBar1;
    QLabel* sStatusBar1Text;
    QTimer* Timer1;

    static constexpr int kTimer1Ms = 2000;
    static inline const QString kTitle = QStringLiteral("Quobex Updater");

public Q_SLOTS:
    void Timer1Timer();
    void IdHTTP1WorkBegin(qint64 total);
    void IdHTTP1Work(qint64 count);
    void IdHTTP1WorkEnd();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void failed(const QString& reason);
    void setGaugePosition(qint64 bytes);

    Services m_services;
    QThread* m_worker = nullptr;
    bool m_cancelled = false;
    int m_gaugeScale = 1; // bytes per gauge step, for installers beyond the gauge's range
    int m_inactivityMs = InstallerDownload::kInactivityMs;
    int m_totalMs = 0;
};

} // namespace updater
