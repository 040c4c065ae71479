// Updater's window: its design, the signed download from end to end, and
// its display while the installer arrives.

#include "platform/ui/WebView.h"
#include "tests/support/FakeMakerServer.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/TempDataFolder.h"
#include "tests/updater/TestKey.h"
#include "updater/MainForm.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

using testsupport::FakeMakerServer;
using testsupport::TestKey;
using updater::TfrmMainForm;

Q_DECLARE_METATYPE(FakeMakerServer::Reply)

namespace {

const QByteArray kSetupPath = "/exe/download/setup.exe";
const QByteArray kSignaturePath = "/exe/download/setup.exe.minisig";
const QByteArray kChangesPath = "/exe/download/changes.html";
const QByteArray kPrevious = "the installer of last time";

QByteArray installerBytes(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 131) ^ (i >> 7));
    return data;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Updater over a fresh cache folder and a maker's server, with recording
// stand-ins for the desktop.
struct Fixture {
    Fixture()
    {
        QDir().mkpath(folder());
        QFile previous(setup());
        previous.open(QIODevice::WriteOnly);
        previous.write(kPrevious);
    }
    QString folder() const { return home.cache() + QStringLiteral("/Quobex/"); }
    QString setup() const { return folder() + QStringLiteral("Setup.exe"); }
    QStringList folderEntries() const { return QDir(folder()).entryList(QDir::Files | QDir::Hidden); }

    std::unique_ptr<TfrmMainForm> makeForm(const QByteArray& makerServer, const QByteArray& publicKey)
    {
        updater::Services services;
        services.endpoints = {makerServer, publicKey};
        services.shell = &shell;
        services.messages = &messages;
        services.requestEnd = [this](int code) { endRequests.append(code); };
        auto form = std::make_unique<TfrmMainForm>(services);
        form->show();
        return form;
    }

    testsupport::TempDataFolder home;
    testsupport::RecordingShell shell;
    testsupport::RecordingMessages messages;
    QList<int> endRequests;
};

// A signed 1 MiB installer sent in pieces, held after `holdAt` bytes until
// the server is released.
FakeMakerServer::Reply serveHeldInstaller(FakeMakerServer& server, const TestKey& maker, int holdAt)
{
    FakeMakerServer::Reply setup;
    setup.body = installerBytes(1 << 20);
    setup.pieceBytes = 16 * 1024;
    setup.holdAt = holdAt;
    server.setReply(kSetupPath, setup);
    FakeMakerServer::Reply sig;
    sig.body = maker.signatureFile(setup.body);
    server.setReply(kSignaturePath, sig);
    return setup;
}

} // namespace

class TestUpdater : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowAsDesigned();
    void download_data();
    void download();
    void installerThatCannotStartIsReported();
    void unusableFolderIsReported();
    void missingCacheFolderIsMade();
    void displayFollowsTheDownload();
    void closingDuringTheDownloadGivesItUp();
    void endsCleanlyOnSignal();
};

void TestUpdater::windowAsDesigned()
{
    Fixture f;
    auto form = f.makeForm("http://127.0.0.1:9", "");
    QCOMPARE(form->windowTitle(), QStringLiteral("Quobex Updater"));
    QCOMPARE(form->size(), QSize(377, 437));
    QCOMPARE(form->palette().color(QPalette::Window), QColor(0x00, 0x66, 0x99));
    struct Control {
        const char* name;
        QString text;
        bool visible;
    };
    const QList<Control> labels = {
        {"lblDownloadSize", QStringLiteral("Downloading 0 bytes"), false},
        {"sLabel1", QStringLiteral("Elapsed:"), false},
        {"lblElapsed", QStringLiteral("0 seconds"), false},
        {"sLabel2", QStringLiteral("Remaining:"), false},
        {"lblRemaining", QStringLiteral("0 seconds"), false},
        {"sLabel3", QStringLiteral("Speed:"), false},
        {"lblSpeed", QStringLiteral("0 KB/s"), false},
        {"sPanel1", QStringLiteral("Initializing..."), true},
    };
    for (const Control& c : labels) {
        auto* label = form->findChild<QLabel*>(QLatin1String(c.name));
        QVERIFY2(label, c.name);
        QCOMPARE(label->text(), c.text);
        QCOMPARE(label->isVisible(), c.visible);
        QVERIFY(label->font().bold());
        QCOMPARE(label->font().families().value(0), QStringLiteral("Verdana"));
    }
    auto* gauge = form->findChild<QProgressBar*>(QStringLiteral("sGauge1"));
    QVERIFY(gauge && !gauge->isVisible());
    QCOMPARE(gauge->format(), QStringLiteral("%p%"));
    auto* box = form->findChild<QGroupBox*>(QStringLiteral("sGroupBox1"));
    QVERIFY(box && box->isVisible());
    QCOMPARE(box->title(), QStringLiteral("Changes in this version"));
    QVERIFY(form->findChild<platform::ui::WebView*>(QStringLiteral("WebBrowser1"))->isVisible());
    QVERIFY(form->findChild<QStatusBar*>(QStringLiteral("sStatusBar1"))->isVisible());
    QCOMPARE(form->findChild<QLabel*>(QStringLiteral("sStatusBar1Text"))->text(), QStringLiteral("Ready"));
    QCOMPARE(form->Timer1->interval(), 2000);
    QVERIFY(form->Timer1->isActive());
    // Nothing is touched before the timer.
    QCOMPARE(readFile(f.setup()), kPrevious);
}

void TestUpdater::download_data()
{
    QTest::addColumn<FakeMakerServer::Reply>("installer");
    QTest::addColumn<QString>("signature"); // good, bad, missing, other key, no key
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("reason"); // in the message; empty: succeeds

    FakeMakerServer::Reply whole;
    whole.body = installerBytes(300000);
    whole.contentType = "application/octet-stream";
    FakeMakerServer::Reply pieces = whole;
    pieces.pieceBytes = 7000;
    FakeMakerServer::Reply unannounced = whole;
    unannounced.noLength = true;
    FakeMakerServer::Reply cut = whole;
    cut.cutOff = true;
    FakeMakerServer::Reply notFound = whole;
    notFound.status = 404;

    QTest::newRow("good") << whole << "good" << false << "";
    QTest::newRow("good, in pieces") << pieces << "good" << false << "";
    QTest::newRow("good, no length announced") << unannounced << "good" << false << "";
    // The client's own words for these are its business; "*" is any reason.
    QTest::newRow("cut body") << cut << "good" << false << "*";
    QTest::newRow("404") << notFound << "good" << false << "*";
    QTest::newRow("refused") << whole << "good" << true << "*";
    QTest::newRow("bad signature") << whole << "bad" << false << "does not match";
    QTest::newRow("missing signature") << whole << "missing" << false << "signature could not be fetched";
    QTest::newRow("signed by another key") << whole << "other key" << false << "another key";
    QTest::newRow("no key in this build") << whole << "no key" << false << "no key";
}

void TestUpdater::download()
{
    QFETCH(FakeMakerServer::Reply, installer);
    QFETCH(QString, signature);
    QFETCH(bool, refused);
    QFETCH(QString, reason);
    Fixture f;
    const TestKey maker;
    const TestKey other;
    FakeMakerServer server;
    server.setReply(kSetupPath, installer);
    QByteArray signatureFile = maker.signatureFile(installer.body);
    if (signature == QLatin1String("bad"))
        signatureFile = maker.signatureFile(installer.body + "tampered");
    else if (signature == QLatin1String("other key"))
        signatureFile = other.signatureFile(installer.body);
    if (signature != QLatin1String("missing")) {
        FakeMakerServer::Reply sig;
        sig.body = signatureFile;
        server.setReply(kSignaturePath, sig);
    }
    FakeMakerServer::Reply changes;
    changes.body = "<html><body><h1>What is new</h1></body></html>";
    changes.contentType = "text/html";
    server.setReply(kChangesPath, changes);

    auto form = f.makeForm(refused ? QByteArray("http://127.0.0.1:9") : server.address(),
                           signature == QLatin1String("no key") ? QByteArray() : maker.publicKeyLine());
    form->Timer1Timer();

    QVERIFY(!form->Timer1->isActive());
    QVERIFY(!form->sPanel1->isVisible());
    QVERIFY(!form->isVisible());                                           // closed, which ends Updater
    QCOMPARE(f.folderEntries(), QStringList{QStringLiteral("Setup.exe")}); // no temporary file left
    if (reason.isEmpty()) {
        QVERIFY2(f.messages.informed.isEmpty(), qPrintable(f.messages.informed.join(QLatin1Char('\n'))));
        QCOMPARE(readFile(f.setup()), installer.body);
        QVERIFY(QFileInfo(f.setup()).isExecutable());
        QCOMPARE(f.shell.calls.size(), 1);
        QCOMPARE(f.shell.calls[0].kind, QStringLiteral("start"));
        QCOMPARE(f.shell.calls[0].target, f.setup());
        const auto requests = server.requestsFor(kSetupPath);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].userAgent, QByteArray("Mozilla/3.0 (compatible; Indy Library)"));
        QCOMPARE(QByteArray::fromStdString(requests[0].headers.find("Accept")->second), QByteArray("text/html, */*"));
        QCOMPARE(form->lblDownloadSize->text(), installer.noLength ? QStringLiteral("Downloading 0 bytes")
                                                                   : QStringLiteral("Downloading 300000 bytes"));
        QCOMPARE(form->sGauge1->value(), form->sGauge1->maximum());
        QVERIFY(form->lblElapsed->text().endsWith(QLatin1String(" seconds")));
        QVERIFY(form->lblSpeed->text().endsWith(QLatin1String(" KB/s")));
    } else {
        QCOMPARE(f.messages.informed.size(), 1);
        const QString message = f.messages.informed.first();
        QVERIFY2(message.startsWith(QLatin1String("Update failed:\r\n")), qPrintable(message));
        QVERIFY2(message.endsWith(QLatin1String("\r\nPlease run this updater again!")), qPrintable(message));
        QVERIFY2(message.size() > 50, qPrintable(message));
        if (reason != QLatin1String("*"))
            QVERIFY2(message.contains(reason, Qt::CaseInsensitive), qPrintable(message));
        QCOMPARE(readFile(f.setup()), kPrevious);
        QVERIFY(f.shell.calls.isEmpty());
    }
    if (!refused)
        QTRY_COMPARE_WITH_TIMEOUT(server.requestsFor(kChangesPath).size(), 1, 30000);
}

void TestUpdater::installerThatCannotStartIsReported()
{
    Fixture f;
    const TestKey maker;
    FakeMakerServer server;
    FakeMakerServer::Reply setup;
    setup.body = installerBytes(1000);
    server.setReply(kSetupPath, setup);
    FakeMakerServer::Reply sig;
    sig.body = maker.signatureFile(setup.body);
    server.setReply(kSignaturePath, sig);
    f.shell.programsStart = false;
    auto form = f.makeForm(server.address(), maker.publicKeyLine());
    form->Timer1Timer();
    QCOMPARE(f.shell.calls.size(), 1);
    QCOMPARE(f.messages.informed,
             QStringList{QStringLiteral("Quobex Updater could not start the installer: ") + f.setup()});
    QCOMPARE(readFile(f.setup()), setup.body);
}

void TestUpdater::unusableFolderIsReported()
{
    Fixture f;
    FakeMakerServer server;
    // A regular file where the cache folder should be.
    const QString blocker = f.home.root() + QStringLiteral("/not-a-folder");
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("XDG_CACHE_HOME", QFile::encodeName(blocker + QStringLiteral("/cache")));
    auto form = f.makeForm(server.address(), TestKey().publicKeyLine());
    form->Timer1Timer();
    QCOMPARE(f.messages.informed, QStringList{QStringLiteral("Error creating config folder: ") + blocker +
                                              QStringLiteral("/cache/Quobex/")});
    QCOMPARE(f.endRequests, QList<int>{1});
    QVERIFY(server.requestsFor(kSetupPath).isEmpty());
    QVERIFY(f.shell.calls.isEmpty());
}

void TestUpdater::missingCacheFolderIsMade()
{
    Fixture f;
    const TestKey maker;
    FakeMakerServer server;
    FakeMakerServer::Reply setup;
    setup.body = installerBytes(5000);
    server.setReply(kSetupPath, setup);
    FakeMakerServer::Reply sig;
    sig.body = maker.signatureFile(setup.body);
    server.setReply(kSignaturePath, sig);
    const QString cache = f.home.root() + QStringLiteral("/fresh/cache");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
    auto form = f.makeForm(server.address(), maker.publicKeyLine());
    form->Timer1Timer();
    QVERIFY2(f.messages.informed.isEmpty(), qPrintable(f.messages.informed.join(QLatin1Char('\n'))));
    QCOMPARE(readFile(cache + QStringLiteral("/Quobex/Setup.exe")), setup.body);
}

// Half the installer arrives, then the server holds: the window shows the
// progress so far and keeps handling events.
void TestUpdater::displayFollowsTheDownload()
{
    Fixture f;
    const TestKey maker;
    FakeMakerServer server;
    const FakeMakerServer::Reply setup = serveHeldInstaller(server, maker, 1 << 19);
    FakeMakerServer::Reply changes;
    changes.body = "<html><body><h2>Quobex 1.0.9.0</h2><ul><li>Faster alerts</li><li>Signed updates</li></ul>"
                   "</body></html>";
    changes.contentType = "text/html";
    server.setReply(kChangesPath, changes);
    auto form = f.makeForm(server.address(), maker.publicKeyLine());

    bool seenHalf = false;
    QString sizeAtHalf, elapsedAtHalf, speedAtHalf;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
        if (seenHalf || form->sGauge1->value() != (1 << 19) || form->WebBrowser1->isLoading())
            return;
        seenHalf = true;
        sizeAtHalf = form->lblDownloadSize->text();
        elapsedAtHalf = form->lblElapsed->text();
        speedAtHalf = form->lblSpeed->text();
        const QByteArray shots = qgetenv("QUOBEX_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            form->grab().save(QFile::decodeName(shots) + QStringLiteral("/updater-downloading.png"));
        server.releaseHanging();
    });
    watch.start(5);
    form->Timer1Timer();
    watch.stop();

    QVERIFY(seenHalf);
    QCOMPARE(sizeAtHalf, QStringLiteral("Downloading 1048576 bytes"));
    QVERIFY(elapsedAtHalf.endsWith(QLatin1String(" seconds")));
    QVERIFY(speedAtHalf.endsWith(QLatin1String(" KB/s")));
    QVERIFY(f.messages.informed.isEmpty());
    QCOMPARE(readFile(f.setup()), setup.body);
}

void TestUpdater::closingDuringTheDownloadGivesItUp()
{
    Fixture f;
    const TestKey maker;
    FakeMakerServer server;
    const FakeMakerServer::Reply setup = serveHeldInstaller(server, maker, 1 << 18);
    auto form = f.makeForm(server.address(), maker.publicKeyLine());
    bool closed = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
        if (closed || form->sGauge1->value() != (1 << 18))
            return;
        closed = true;
        form->close();
    });
    watch.start(5);
    form->Timer1Timer();
    watch.stop();

    QVERIFY(closed);
    QVERIFY(f.messages.informed.isEmpty());
    QVERIFY(f.shell.calls.isEmpty());
    QCOMPARE(readFile(f.setup()), kPrevious);
    QCOMPARE(f.folderEntries(), QStringList{QStringLiteral("Setup.exe")});
}

void TestUpdater::endsCleanlyOnSignal()
{
    // The built program, where no maker's server answers: whatever it shows,
    // SIGTERM ends it through its own way out, not by the signal's default.
    QTemporaryDir home;
    const QString cache = home.filePath(QStringLiteral("cache"));
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(UPDATER_BINARY), {});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(cache + QStringLiteral("/Quobex")), 20000);
    QTest::qWait(300);
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(QDir(cache + QStringLiteral("/Quobex")).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_MAIN(TestUpdater)
#include "tst_updater.moc"
