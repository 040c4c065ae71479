// Updater's download speed against a plain download of the same bytes, and
// the longest stall of Quobex's main thread while a ping and an update check
// wait for a slow or a silent maker's server.

#include "platform/HttpClient.h"
#include "quobex/shell/MainForm.h"
#include "quobex/update/UsagePing.h"
#include "tests/support/AppHarness.h"
#include "tests/support/FakeMakerServer.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/TempDataFolder.h"
#include "tests/updater/TestKey.h"
#include "updater/MainForm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <cstdio>

using testsupport::FakeMakerServer;

namespace {

constexpr int kInstallerBytes = 64 * 1024 * 1024;
constexpr int kRounds = 3;
constexpr double kStallLimitMs = 16.0;

double plainDownloadSeconds(const QByteArray& url, const QString& folder)
{
    QTemporaryFile file(folder + QStringLiteral("/plain.XXXXXX"));
    file.open();
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QThread> worker(QThread::create([&] {
        platform::HttpClient client;
        client.setTimeouts(60000, 0);
        client.download(url, file, {});
    }));
    worker->start();
    worker->wait();
    return double(clock.nsecsElapsed()) / 1e9;
}

struct UpdaterTimes {
    double download = 0; // until the window has shown the end of the body
    double whole = 0;    // with the signature check and the replacement
};

UpdaterTimes updaterSeconds(const FakeMakerServer& server, const QByteArray& key)
{
    testsupport::RecordingShell shell;
    testsupport::RecordingMessages messages;
    updater::Services services;
    services.endpoints = {server.address(), key};
    services.shell = &shell;
    services.messages = &messages;
    updater::TfrmMainForm form(services);
    form.show();
    UpdaterTimes times;
    QElapsedTimer clock;
    QObject::connect(form.Timer1, &QTimer::timeout, [&clock] { clock.start(); });
    // WorkEnd sets the gauge to its end: the display has caught up with the body.
    QObject::connect(form.sGauge1, &QProgressBar::valueChanged, [&](int value) {
        if (value == form.sGauge1->maximum() && value > 0 && times.download == 0)
            times.download = double(clock.nsecsElapsed()) / 1e9;
    });
    clock.start();
    form.Timer1Timer();
    times.whole = double(clock.nsecsElapsed()) / 1e9;
    if (!messages.informed.isEmpty() || shell.calls.size() != 1)
        std::fprintf(stderr, "updater failed: %s\n", qPrintable(messages.informed.join(QLatin1Char(' '))));
    return times;
}

void downloadRatio()
{
    testsupport::TempDataFolder home;
    QDir().mkpath(home.cache() + QStringLiteral("/Quobex"));
    const testsupport::TestKey key;
    QByteArray installer(kInstallerBytes, '\0');
    for (int i = 0; i < installer.size(); ++i)
        installer[i] = char((i * 131) ^ (i >> 9));
    FakeMakerServer server;
    FakeMakerServer::Reply setup;
    setup.body = installer;
    setup.contentType = "application/octet-stream";
    server.setReply("/exe/download/setup.exe", setup);
    FakeMakerServer::Reply signature;
    signature.body = key.signatureFile(installer);
    server.setReply("/exe/download/setup.exe.minisig", signature);

    double plainBest = 1e9, downloadBest = 1e9, wholeBest = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        plainBest =
            std::min(plainBest, plainDownloadSeconds(server.address() + "/exe/download/setup.exe", home.root()));
        const UpdaterTimes t = updaterSeconds(server, key.publicKeyLine());
        downloadBest = std::min(downloadBest, t.download);
        wholeBest = std::min(wholeBest, t.whole);
    }
    const double mb = double(kInstallerBytes) / (1024 * 1024);
    std::printf("plain download of %.0f MB: %.3f s (%.1f MB/s)\n", mb, plainBest, mb / plainBest);
    std::printf("Updater download:          %.3f s (%.1f MB/s)\n", downloadBest, mb / downloadBest);
    std::printf("Updater with signature check and replacement: %.3f s\n", wholeBest);
    const double ratio = plainBest / downloadBest;
    std::printf("download speed ratio Updater/plain: %.2f (target >= 0.90) %s\n", ratio,
                ratio >= 0.9 ? "PASS" : "FAIL");
}

double longestStallMs(const char* label, const FakeMakerServer::Reply& reply)
{
    FakeMakerServer server;
    server.setReply("/exe/ping.php", reply);
    server.setReply("/exe/download/version.txt", reply);
    testsupport::AppHarness app;
    app.endpoints = quobex::Endpoints::loopback("127.0.0.1:9", server.hostAndPort());
    app.start();
    quobex::TfrmMainForm* form = app.form();
    form->setUpdateCheckTimeouts({3000, 3000});

    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    clock.start();
    beat.start(1);
    QElapsedTimer total;
    total.start();
    form->timerPingTimer();
    form->CheckForNewVersion();
    beat.stop();
    const double ms = double(longest) / 1e6;
    std::printf("%-28s check took %5lld ms, longest main-thread stall %.2f ms (target < %.0f ms) %s\n", label,
                total.elapsed(), ms, kStallLimitMs, ms < kStallLimitMs ? "PASS" : "FAIL");
    server.releaseHanging();
    return ms;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    downloadRatio();
    FakeMakerServer::Reply slow;
    slow.body = "1.0.8.49";
    slow.delayMs = 2000;
    longestStallMs("server answering after 2 s:", slow);
    FakeMakerServer::Reply silent;
    silent.hang = true;
    longestStallMs("server never answering:", silent);
    return 0;
}
