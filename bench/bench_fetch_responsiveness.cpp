// How long the window's event loop stalls while a whole fetch runs: the real
// main window, offscreen, against a fake web service that answers every
// request after 200 ms. A 1 ms timer on the main thread records the longest
// gap between its ticks from the moment "Check Alerts Now" is chosen until
// the completion has ended. Target: the longest stall stays under 50 ms.

#include "quobex/shell/MainForm.h"

#include "platform/Wait.h"
#include "tests/support/AppHarness.h"
#include "tests/support/FakeWebService.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ServiceReplies.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using testsupport::FakeWebService;
using Reply = testsupport::FakeWebService::Reply;
namespace replies = testsupport::replies;

namespace {

constexpr int kDelayMs = 200;
constexpr int kAlerts = 5;

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    FakeWebService service;
    service.setDefaultReply("ItemSearch",
                            Reply::fixture(QStringLiteral("replies/ItemSearch-ten-items.xml")).delayed(kDelayMs));
    for (const char* group : {"TopSellers", "NewReleases"}) {
        for (const char* node : {"283155", "130", "5174"})
            service.setBrowseNodeReply(node, group,
                                       Reply::xml(replies::browseNode(group, {{QByteArray(node) + "1", "Listed one"},
                                                                              {QByteArray(node) + "2", "Listed two"}}))
                                           .delayed(kDelayMs));
    }
    service.setDefaultReply("ItemLookup",
                            Reply::fixture(QStringLiteral("replies/ItemLookup-reply.xml")).delayed(kDelayMs));

    testsupport::AppHarness harness;
    harness.endpoints = quobex::Endpoints::loopback(service.hostAndPort(), "127.0.0.1:9");
    harness.home.makeDataFolder();
    QByteArray keywords, types, places;
    for (int i = 0; i < kAlerts; ++i) {
        keywords += "alert " + QByteArray::number(i) + "\r\n";
        types += "Books\r\n";
        places += "U.S.A.\r\n";
    }
    testsupport::writeFile(harness.home.file(QStringLiteral("quobex_keyword_config.dat")), keywords);
    testsupport::writeFile(harness.home.file(QStringLiteral("quobex_itemtype_config.dat")), types);
    testsupport::writeFile(harness.home.file(QStringLiteral("quobex_localization_config.dat")), places);
    harness.start();
    quobex::TfrmMainForm* form = harness.form();

    std::printf("fetch of %d alerts and 6 lists, every request answered after %d ms\n", kAlerts, kDelayMs);
    for (int round = 1; round <= 3; ++round) {
        QElapsedTimer sinceTick;
        qint64 longest = 0;
        qint64 ticks = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceTick.restart());
            ++ticks;
        });
        QElapsedTimer whole;
        whole.start();
        sinceTick.start();
        ticker.start(1);
        service.clearRequests();
        form->QueryAmazonNow2->trigger();
        platform::WaitWhile([form] { return form->Busy; }, 1);
        ticker.stop();
        std::printf("round %d: %lld requests in %lld ms, %lld ticks, longest stall %lld ms\n", round,
                    qint64(service.targets().size()), whole.elapsed(), ticks, longest);
    }
    return 0;
}
