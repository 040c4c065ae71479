#include "updater/MainForm.h"

#include "platform/Shell.h"
#include "platform/SpecialFolders.h"
#include "platform/Wait.h"
#include "platform/ui/MessageBoxes.h"
#include "platform/ui/Named.h"
#include "platform/ui/WebView.h"
#include "updater/ProgressDisplay.h"
#include "updater/SpecialFolderPath.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>

namespace updater {

namespace {

using platform::ui::named;

QLabel* makeLabel(const QString& text, const char* name, bool visible)
{
    auto* label = named(new QLabel(text), name);
    // Verdana where it is installed, a plain sans serif elsewhere.
    QFont font(QStringLiteral("Verdana"));
    font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setBold(true);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: white;"));
    label->setVisible(visible);
    return label;
}

} // namespace

TfrmMainForm::TfrmMainForm(Services services, QWidget* parent) : QMainWindow(parent), m_services(std::move(services))
{
    buildWindow();
    Timer1->start();
}

TfrmMainForm::~TfrmMainForm()
{
    if (m_worker) {
        m_worker->requestInterruption();
        m_worker->wait();
    }
}

void TfrmMainForm::buildWindow()
{
    setObjectName(QStringLiteral("frmMainForm"));
    setWindowTitle(kTitle);
    resize(377, 437);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0x00, 0x66, 0x99));
    setPalette(palette);

    lblDownloadSize = makeLabel(ProgressDisplay::SizeText(0), "lblDownloadSize", false);
    sGauge1 = named(new QProgressBar, "sGauge1");
    sGauge1->setFormat(QStringLiteral("%p%"));
    sGauge1->setRange(0, 100);
    sGauge1->setValue(0);
    sGauge1->setVisible(false);
    sLabel1 = makeLabel(QStringLiteral("Elapsed:"), "sLabel1", false);
    lblElapsed = makeLabel(QStringLiteral("0 seconds"), "lblElapsed", false);
    sLabel2 = makeLabel(QStringLiteral("Remaining:"), "sLabel2", false);
    lblRemaining = makeLabel(QStringLiteral("0 seconds"), "lblRemaining", false);
    sLabel3 = makeLabel(QStringLiteral("Speed:"), "sLabel3", false);
    lblSpeed = makeLabel(QStringLiteral("0 KB/s"), "lblSpeed", false);
    sPanel1 = makeLabel(QStringLiteral("Initializing..."), "sPanel1", true);
    sPanel1->setAlignment(Qt::AlignCenter);
    sPanel1->setFrameShape(QFrame::Panel);
    sPanel1->setFrameShadow(QFrame::Raised);

    auto* progress = new QWidget;
    auto* grid = new QGridLayout(progress);
    grid->addWidget(lblDownloadSize, 0, 0, 1, 2);
    grid->addWidget(sGauge1, 1, 0, 1, 2);
    grid->addWidget(sLabel1, 2, 0);
    grid->addWidget(lblElapsed, 2, 1);
    grid->addWidget(sLabel2, 3, 0);
    grid->addWidget(lblRemaining, 3, 1);
    grid->addWidget(sLabel3, 4, 0);
    grid->addWidget(lblSpeed, 4, 1);
    grid->addWidget(sPanel1, 0, 0, 5, 2);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(12);
    grid->setColumnMinimumWidth(0, 100);

    sGroupBox1 = named(new QGroupBox(QStringLiteral("Changes in this version")), "sGroupBox1");
    WebBrowser1 = named(new platform::ui::WebView, "WebBrowser1");
    auto* changes = new QVBoxLayout(sGroupBox1);
    changes->addWidget(WebBrowser1);

    auto* central = new QWidget;
    auto* column = new QVBoxLayout(central);
    column->addWidget(progress);
    column->addWidget(sGroupBox1, 1);
    setCentralWidget(central);

    sStatusBar1 = named(new QStatusBar, "sStatusBar1");
    sStatusBar1Text = named(new QLabel(QStringLiteral("Ready")), "sStatusBar1Text");
    sStatusBar1->addWidget(sStatusBar1Text, 1);
    setStatusBar(sStatusBar1);

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(kTimer1Ms);
    connect(Timer1, &QTimer::timeout, this, &TfrmMainForm::Timer1Timer);
}

QString TfrmMainForm::downloadFolder()
{
    return SpecialFolderPath(platform::kInternetCacheFolder) + QStringLiteral("/Quobex/");
}

bool TfrmMainForm::isDownloading() const
{
    return m_worker && !m_worker->isFinished();
}

void TfrmMainForm::setDownloadTimeouts(int inactivityMs, int totalMs)
{
    m_inactivityMs = inactivityMs;
    m_totalMs = totalMs;
}

void TfrmMainForm::Timer1Timer()
{
    Timer1->stop();
    sPanel1->hide();
    for (QWidget* control : std::initializer_list<QWidget*>{lblDownloadSize, sGauge1, sLabel1, sLabel2, sLabel3,
                                                            lblElapsed, lblRemaining, lblSpeed})
        control->show();

    const QString folder = downloadFolder();
    if (!platform::EnsureFolder(folder)) {
        m_services.messages->inform(this,
                                    QStringLiteral("Error creating config folder: ") + platform::NativePath(folder));
        if (m_services.requestEnd)
            m_services.requestEnd(1);
        return;
    }
    WebBrowser1->Navigate(m_services.endpoints.makerServer + kChangesPath);

    // The download runs on a worker; its notifications come to this window
    // one by one, so every piece received refreshes the display while the
    // window stays free to paint, load the changes page and be moved.
    InstallerDownload download(m_services.endpoints, folder);
    download.setTimeouts(m_inactivityMs, m_totalMs);
    platform::HttpClient::Progress progress;
    progress.begin = [this](qint64 total) {
        QMetaObject::invokeMethod(
            this, [this, total] { IdHTTP1WorkBegin(total); }, Qt::QueuedConnection);
    };
    progress.progress = [this](qint64 count) {
        QMetaObject::invokeMethod(
            this, [this, count] { IdHTTP1Work(count); }, Qt::QueuedConnection);
    };
    progress.end = [this] {
        QMetaObject::invokeMethod(
            this, [this] { IdHTTP1WorkEnd(); }, Qt::QueuedConnection);
    };
    InstallerDownload::Result result;
    m_worker = QThread::create([&] { result = download.run(progress); });
    m_worker->start();
    const bool waited = platform::WaitWhile([this] { return !m_worker->isFinished(); }, 10);
    if (!waited)
        m_worker->requestInterruption();
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    if (!waited || m_cancelled)
        return; // the user closed the window or the program is ending
    // The last notifications are shown before the outcome.
    QCoreApplication::sendPostedEvents(this);

    if (!result.ok) {
        failed(result.reason);
        return;
    }
#ifdef Q_OS_WIN
    const bool started = m_services.shell->openDocument(result.installer);
#else
    const bool started = m_services.shell->startProgram(result.installer, {});
#endif
    if (!started)
        m_services.messages->inform(this, QStringLiteral("Quobex Updater could not start the installer: ") +
                                              platform::NativePath(result.installer));
    close();
}

void TfrmMainForm::failed(const QString& reason)
{
    m_services.messages->inform(this, QStringLiteral("Update failed:\r\n") + reason +
                                          QStringLiteral("\r\nPlease run this updater again!"));
    close();
}

void TfrmMainForm::closeEvent(QCloseEvent* event)
{
    // Closing during the download gives it up; its partial file goes.
    if (isDownloading()) {
        m_cancelled = true;
        m_worker->requestInterruption();
    }
    QMainWindow::closeEvent(event);
}

void TfrmMainForm::IdHTTP1WorkBegin(qint64 total)
{
    StartTime.start();
    TotalBytes = total;
    m_gaugeScale = 1;
    while (total / m_gaugeScale > std::numeric_limits<int>::max())
        m_gaugeScale *= 2;
    sGauge1->setRange(0, int(total / m_gaugeScale));
    sGauge1->setValue(0);
    lblDownloadSize->setText(ProgressDisplay::SizeText(total));
}

void TfrmMainForm::IdHTTP1Work(qint64 count)
{
    const ProgressDisplay::Texts texts =
        ProgressDisplay::Compute(TotalBytes, count, StartTime.isValid() ? StartTime.elapsed() : 0, QLocale());
    lblElapsed->setText(texts.elapsed);
    // While nothing has arrived the remaining time keeps its last text.
    if (texts.remaining)
        lblRemaining->setText(*texts.remaining);
    lblSpeed->setText(texts.speed);
    setGaugePosition(count);
}

void TfrmMainForm::IdHTTP1WorkEnd()
{
    setGaugePosition(TotalBytes);
}

void TfrmMainForm::setGaugePosition(qint64 bytes)
{
    const qint64 step = bytes / m_gaugeScale;
    sGauge1->setValue(int(std::clamp<qint64>(step, sGauge1->minimum(), sGauge1->maximum())));
}

} // namespace updater
