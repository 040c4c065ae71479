// The update check and the usage ping of the running main window, against a
// loopback maker's server.

#include "quobex/shell/MainForm.h"
#include "quobex/update/UpdateCheck.h"
#include "quobex/update/UsagePing.h"
#include "quobex/update/WinVersions.h"
#include "tests/support/AppHarness.h"
#include "tests/support/FakeMakerServer.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using quobex::TfrmMainForm;
using testsupport::AppHarness;
using testsupport::FakeMakerServer;
namespace UpdateCheck = quobex::UpdateCheck;

Q_DECLARE_METATYPE(FakeMakerServer::Reply)

namespace {

const QByteArray kVersionPath = "/exe/download/version.txt";
const QByteArray kPingPath = "/exe/ping.php";
const QString kQuestion = QStringLiteral("Confirm|") + UpdateCheck::kConfirmText;

QByteArray header(const testsupport::LoopbackServer::Request& request, const char* name)
{
    const auto it = request.headers.find(name);
    return it == request.headers.end() ? QByteArray() : QByteArray::fromStdString(it->second);
}

FakeMakerServer::Reply body(const QByteArray& text)
{
    FakeMakerServer::Reply reply;
    reply.body = text;
    return reply;
}

// The window over a maker's server, started with its timers stopped.
struct Fixture {
    explicit Fixture(const QByteArray& makerHostAndPort)
    {
        app.endpoints = quobex::Endpoints::loopback("127.0.0.1:9", makerHostAndPort);
        app.start();
    }
    TfrmMainForm* form() const { return app.form(); }
    AppHarness app;
};

// An executable file where the program looks for Updater.
QString placeUpdater(const QTemporaryDir& bin, TfrmMainForm* form)
{
    form->setExecutablePath(bin.filePath(QStringLiteral("Quobex")));
    const QString path = bin.filePath(QStringLiteral("Updater"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("#!/bin/sh\n");
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return path;
}

} // namespace

class TestUpdate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void checkAsksOnlyForANewerVersion_data();
    void checkAsksOnlyForANewerVersion();
    void checkFailsQuietlyWithoutServer();
    void windowLivesDuringTheCheck();
    void checkWaitsWhileBusy();
    void oneCheckAtATime();
    void yesSavesStartsUpdaterAndEnds();
    void missingUpdaterIsReportedAndQuobexRunsOn();
    void updaterThatCannotStartIsReported();
    void startupChecksBeforeTheFirstFetch();
    void pingGoesOutEveryTickWithItsCookie();
    void hangingPingIsNeverDoubled();
    void failingPingIsSilent();
};

void TestUpdate::checkAsksOnlyForANewerVersion_data()
{
    QTest::addColumn<FakeMakerServer::Reply>("reply");
    QTest::addColumn<bool>("asks");
    QTest::newRow("same") << body("1.0.8.49") << false;
    QTest::newRow("next") << body("1.0.8.50") << true;
    QTest::newRow("more digits") << body("1.0.8.100") << true;
    QTest::newRow("white space") << body(" 1.0.9.0\r\n") << true;
    QTest::newRow("same, line break") << body("1.0.8.49\r\n") << false;
    QTest::newRow("html page") << body("<html><body>Moved</body></html>") << false;
    QTest::newRow("empty body") << body("") << false;
    FakeMakerServer::Reply notFound = body("9.9.9.9");
    notFound.status = 404;
    QTest::newRow("404") << notFound << false;
    FakeMakerServer::Reply cut = body("1.0.9.0 and then some more text");
    cut.cutOff = true;
    QTest::newRow("broken transfer") << cut << false;
    FakeMakerServer::Reply hang;
    hang.hang = true;
    QTest::newRow("never answers") << hang << false;
}

void TestUpdate::checkAsksOnlyForANewerVersion()
{
    QFETCH(FakeMakerServer::Reply, reply);
    QFETCH(bool, asks);
    FakeMakerServer maker;
    maker.setReply(kVersionPath, reply);
    Fixture f(maker.hostAndPort());
    if (reply.hang)
        f.form()->setUpdateCheckTimeouts({500, 1000});

    f.form()->CheckForNewVersion();

    QCOMPARE(f.app.messages.questions, asks ? QStringList{kQuestion} : QStringList{});
    QCOMPARE(f.app.shell.calls.size(), 0);
    QCOMPARE(f.app.endRequests, 0);
    const auto requests = maker.requestsFor(kVersionPath);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].userAgent, f.form()->AgentText);
    QCOMPARE(f.form()->AgentText, "Quobex 1.0.8.49 " + quobex::OSDescription());
    QCOMPARE(header(requests[0], "Accept"), QByteArray("text/html, */*"));
    QCOMPARE(header(requests[0], "Content-Type"), QByteArray("text/html"));
    QCOMPARE(header(requests[0], "Cache-control"), QByteArray("no-cache"));
}

void TestUpdate::checkFailsQuietlyWithoutServer()
{
    Fixture f("127.0.0.1:9"); // nobody listens there
    f.form()->CheckForNewVersion();
    QVERIFY(f.app.messages.questions.isEmpty());
    QVERIFY(f.app.messages.informed.isEmpty());
    QVERIFY(f.app.messages.errors.isEmpty());
}

void TestUpdate::windowLivesDuringTheCheck()
{
    FakeMakerServer maker;
    FakeMakerServer::Reply slow = body("1.0.8.49");
    slow.delayMs = 400;
    maker.setReply(kVersionPath, slow);
    Fixture f(maker.hostAndPort());
    int ticks = 0;
    QTimer beat;
    connect(&beat, &QTimer::timeout, [&ticks] { ++ticks; });
    beat.start(5);
    f.form()->CheckForNewVersion();
    QVERIFY2(ticks > 0, "the window handled no event while the server was asked");
}

void TestUpdate::checkWaitsWhileBusy()
{
    FakeMakerServer maker;
    maker.setReply(kVersionPath, body("1.0.8.49"));
    Fixture f(maker.hostAndPort());
    f.form()->Busy = true;
    qsizetype askedWhileBusy = -1;
    QTimer::singleShot(1500, f.form(), [&] {
        askedWhileBusy = maker.requestsFor(kVersionPath).size();
        f.form()->Busy = false;
    });
    f.form()->CheckForNewVersion();
    QCOMPARE(askedWhileBusy, 0);
    QCOMPARE(maker.requestsFor(kVersionPath).size(), 1);
}

void TestUpdate::oneCheckAtATime()
{
    FakeMakerServer maker;
    maker.setReply(kVersionPath, body("1.0.9.0"));
    Fixture f(maker.hostAndPort());
    TfrmMainForm* form = f.form();
    int nested = 0;
    f.app.messages.whileAsking = [&] {
        ++nested;
        form->CheckForNewVersion(); // the hourly check comes while the question is open
    };
    form->CheckForNewVersion();
    QCOMPARE(nested, 1);
    QCOMPARE(f.app.messages.questions.size(), 1);
    QCOMPARE(maker.requestsFor(kVersionPath).size(), 1);

    // Once answered, the next check asks again.
    f.app.messages.whileAsking = nullptr;
    form->CheckForNewVersion();
    QCOMPARE(f.app.messages.questions.size(), 2);
}

void TestUpdate::yesSavesStartsUpdaterAndEnds()
{
    FakeMakerServer maker;
    maker.setReply(kVersionPath, body("1.0.8.50"));
    Fixture f(maker.hostAndPort());
    QTemporaryDir bin;
    const QString updater = placeUpdater(bin, f.form());
    const QString items = f.app.home.file(QStringLiteral("quobex_amazon_items.dat"));
    QVERIFY(!QFileInfo::exists(items));
    bool savedBeforeStart = false;
    f.app.messages.answer = true;

    f.form()->CheckForNewVersion();
    savedBeforeStart = QFileInfo::exists(items);

    QVERIFY(savedBeforeStart);
    QCOMPARE(f.app.shell.calls.size(), 1);
    QCOMPARE(f.app.shell.calls[0].kind, QStringLiteral("start"));
    QCOMPARE(f.app.shell.calls[0].target, updater);
    QVERIFY(f.app.shell.calls[0].arguments.isEmpty());
    QCOMPARE(f.app.endRequests, 1);
    QCOMPARE(f.app.lastExitCode, 0);
    QVERIFY(f.app.messages.informed.isEmpty());
}

void TestUpdate::missingUpdaterIsReportedAndQuobexRunsOn()
{
    FakeMakerServer maker;
    maker.setReply(kVersionPath, body("1.0.8.50"));
    Fixture f(maker.hostAndPort());
    QTemporaryDir bin;
    f.form()->setExecutablePath(bin.filePath(QStringLiteral("Quobex")));
    f.app.messages.answer = true;

    f.form()->CheckForNewVersion();

    QCOMPARE(f.app.messages.informed,
             QStringList{UpdateCheck::kCannotStartUpdater + bin.filePath(QStringLiteral("Updater"))});
    QVERIFY(f.app.shell.calls.isEmpty());
    QCOMPARE(f.app.endRequests, 0);
    QVERIFY(!QFileInfo::exists(f.app.home.file(QStringLiteral("quobex_amazon_items.dat"))));
    // The program runs on: the next check asks again.
    f.form()->CheckForNewVersion();
    QCOMPARE(f.app.messages.questions.size(), 2);
}

void TestUpdate::updaterThatCannotStartIsReported()
{
    FakeMakerServer maker;
    maker.setReply(kVersionPath, body("1.0.8.50"));
    Fixture f(maker.hostAndPort());
    QTemporaryDir bin;
    const QString updater = placeUpdater(bin, f.form());
    f.app.shell.programsStart = false;
    f.app.messages.answer = true;

    f.form()->CheckForNewVersion();

    QCOMPARE(f.app.shell.calls.size(), 1);
    QCOMPARE(f.app.messages.informed, QStringList{UpdateCheck::kCannotStartUpdater + updater});
    QCOMPARE(f.app.endRequests, 0);
    // Still running: a fetch can start and the exit still works.
    f.form()->CheckForNewVersion();
    QCOMPARE(f.app.messages.questions.size(), 2);
    f.form()->Exit1Click();
    QCOMPARE(f.app.endRequests, 1);
}

void TestUpdate::startupChecksBeforeTheFirstFetch()
{
    FakeMakerServer maker;
    maker.setReply(kVersionPath, body("1.0.8.50"));
    Fixture f(maker.hostAndPort());
    TfrmMainForm* form = f.form();
    bool fetchingWhileAsked = true;
    f.app.messages.whileAsking = [&] { fetchingWhileAsked = form->Busy; };

    form->timerStartupTimer(); // answered No: the fetch follows the check
    QVERIFY(!fetchingWhileAsked);
    QVERIFY(form->Busy);
    QTRY_VERIFY_WITH_TIMEOUT(!form->Busy, 30000);

    // Answered Yes: the program ends and no fetch starts.
    QTemporaryDir bin;
    placeUpdater(bin, form);
    f.app.messages.answer = true;
    form->timerStartupTimer();
    QCOMPARE(f.app.endRequests, 1);
    QVERIFY(!form->Busy);
    QVERIFY(!form->isFetching());
}

void TestUpdate::pingGoesOutEveryTickWithItsCookie()
{
    FakeMakerServer maker;
    FakeMakerServer::Reply reply = body("thanks");
    reply.setCookie = "visit=4711; Path=/";
    maker.setReply(kPingPath, reply);
    Fixture f(maker.hostAndPort());
    TfrmMainForm* form = f.form();
    // The ping ignores Busy and runs while the window is hidden.
    form->Busy = true;
    form->hide();
    form->timerPing->setInterval(20);
    form->timerPing->start();
    QTRY_VERIFY_WITH_TIMEOUT(maker.requestsFor(kPingPath).size() >= 3, 30000);
    form->timerPing->stop();
    form->Busy = false;

    const auto requests = maker.requestsFor(kPingPath);
    const QByteArray agent = "Quobex 1.0.8.49 " + quobex::OSDescription();
    for (const auto& request : requests) {
        QCOMPARE(request.target, kPingPath);
        QCOMPARE(request.userAgent, agent);
        QCOMPARE(header(request, "Accept"), QByteArray("text/html, */*"));
        QCOMPARE(header(request, "Content-Type"), QByteArray("text/html"));
    }
    QCOMPARE(header(requests[0], "Cookie"), QByteArray());
    QCOMPARE(header(requests[1], "Cookie"), QByteArray("visit=4711"));
    QCOMPARE(form->AgentText, agent);
    QVERIFY(f.app.messages.informed.isEmpty());
}

void TestUpdate::hangingPingIsNeverDoubled()
{
    FakeMakerServer maker;
    FakeMakerServer::Reply hang;
    hang.hang = true;
    maker.setReply(kPingPath, hang);
    Fixture f(maker.hostAndPort());
    TfrmMainForm* form = f.form();
    int ticks = 0;
    connect(form->timerPing, &QTimer::timeout, [&ticks] { ++ticks; });
    form->timerPing->setInterval(10);
    form->timerPing->start();
    QTRY_VERIFY_WITH_TIMEOUT(maker.openRequests() == 1, 30000);
    const int ticksAtFirst = ticks;
    QTRY_VERIFY_WITH_TIMEOUT(ticks >= ticksAtFirst + 10, 30000);
    QCOMPARE(maker.requestsFor(kPingPath).size(), 1);
    QCOMPARE(form->usagePing().sent(), 1);
    QVERIFY(form->usagePing().inFlight());

    // Once it ends, the next tick pings again.
    maker.releaseHanging();
    QTRY_VERIFY_WITH_TIMEOUT(maker.requestsFor(kPingPath).size() >= 2, 30000);
    form->timerPing->stop();
    QVERIFY(f.app.messages.informed.isEmpty());
    QVERIFY(f.app.messages.errors.isEmpty());
}

void TestUpdate::failingPingIsSilent()
{
    Fixture f("127.0.0.1:9");
    TfrmMainForm* form = f.form();
    form->timerPing->setInterval(10);
    form->timerPing->start();
    QTRY_VERIFY_WITH_TIMEOUT(form->usagePing().sent() >= 3, 30000);
    form->timerPing->stop();
    QVERIFY(f.app.messages.informed.isEmpty());
    QVERIFY(f.app.messages.errors.isEmpty());
}

QTEST_MAIN(TestUpdate)
#include "tst_update.moc"
