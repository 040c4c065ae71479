// A long run of fetches through the real main window (offscreen) against a
// fake web service that answers each request with a fault drawn at random:
// refused, "500", a time-out, a body cut off, malformed XML, a body over the
// size limit (17 MiB), a redirect back to itself; or a good reply whose
// products change from cycle to cycle. After every cycle the tree, the items
// file and the latest-alert index are checked; the resident size is printed
// every 20 cycles. Target: no check fails, and the resident size after the
// last cycle is within 10 % of that after cycle 20.
//
//   bench_soak [cycles=200] [seed=1] [without-over-limit]
//
// The last argument leaves the 17 MiB bodies out, to tell the memory they
// cost from the rest.
// Refused requests: the service listens on one port for every store, so the
// refusals come from the keyword alerts of the U.K. store, whose host is a
// port where nobody listens; each cycle gives every alert that store with a
// fixed chance. Each time-out costs the client's whole inactivity limit
// (30 s), so it is drawn more rarely than the other faults.

#include "quobex/model/AlertTree.h"
#include "quobex/shell/MainForm.h"
#include "quobex/store/ItemsFile.h"

#include "platform/HttpClient.h"
#include "platform/TextList.h"
#include "platform/Wait.h"
#include "tests/support/AppHarness.h"
#include "tests/support/FakeWebService.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ServiceReplies.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <random>
#include <unistd.h>

using testsupport::FakeWebService;
using Reply = testsupport::FakeWebService::Reply;
namespace replies = testsupport::replies;

namespace {

constexpr int kAlerts = 4;
constexpr int kKeep = 20; // the settings' default
constexpr int kAsinPool = 80;

enum Kind { Good, ServerError, TimeOut, CutBody, Malformed, OverLimit, RedirectLoop, kKinds };
const char* const kKindNames[kKinds] = {"good",           "500",          "time-out", "cut body", "malformed XML",
                                        "over the limit", "redirect loop"};
// Relative chances per request.
constexpr int kWeights[kKinds] = {16, 2, 1, 2, 2, 1, 2};

// Resident size once the allocator has given its free memory back: glibc
// keeps freed blocks of its arenas (and raises its mmap threshold after a
// 17 MiB body) until asked, which is retention, not growth.
qint64 residentBytes()
{
    malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

QByteArray asin(int n)
{
    return "B00SOAK" + QByteArray::number(n).rightJustified(3, '0');
}

// A well-formed reply of 17 MiB, most of it one comment.
QByteArray overLimitReply()
{
    QByteArray body = FakeWebService::emptyReply("ItemSearch");
    const qsizetype at = body.indexOf("<Items>");
    body.insert(at, "<!--" + QByteArray(17 * 1024 * 1024, 'x') + "-->");
    return body;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int cycles = argc > 1 ? std::max(20, atoi(argv[1])) : 200;
    const unsigned seed = argc > 2 ? unsigned(atoi(argv[2])) : 1u;
    std::mt19937 rng(seed);
    int weights[kKinds];
    std::copy(std::begin(kWeights), std::end(kWeights), weights);
    if (argc > 3 && qstrcmp(argv[3], "without-over-limit") == 0)
        weights[OverLimit] = 0;

    FakeWebService service;
    testsupport::AppHarness harness;
    harness.endpoints = quobex::Endpoints::loopback(service.hostAndPort(), "127.0.0.1:9");
    harness.endpoints.serviceHostUK = "127.0.0.1:9"; // refused
    harness.start();
    quobex::TfrmMainForm* form = harness.form();
    const QString itemsPath = harness.home.file(QStringLiteral("quobex_amazon_items.dat"));
    const QString indexPath = harness.home.file(QStringLiteral("quobex_latest_alert_index.dat"));

    const QByteArray overLimit = overLimitReply();
    const QByteArray goodSearch = replies::search(replies::item(asin(0), "Zero"));
    // The fault of the request being answered, drawn per request.
    int current = Good;
    int drawn[kKinds] = {};
    std::discrete_distribution<int> pick(std::begin(weights), std::end(weights));
    auto arrange = [&] {
        service.clearReplies();
        auto randomItems = [&](int count) {
            QByteArray items;
            for (int i = 0; i < count; ++i) {
                const int n = int(rng() % kAsinPool);
                items += replies::item(asin(n),
                                       "Soak title " + QByteArray::number(n) + " " + QByteArray(int(rng() % 200), 'y'));
            }
            return items;
        };
        service.setDefaultReply("ItemSearch", Reply::xml(replies::search(randomItems(10))));
        service.setDefaultReply("ItemLookup", Reply::xml(replies::lookup(randomItems(1))));
        QList<QPair<QByteArray, QByteArray>> entries;
        for (int i = 0; i < 4; ++i) {
            const int n = int(rng() % kAsinPool);
            entries.append({asin(n), "Listed " + QByteArray::number(n)});
        }
        service.setDefaultReply("BrowseNodeLookup", Reply::xml(replies::browseNode("TopSellers", entries)));
        for (const char* group : {"TopSellers", "NewReleases"})
            for (const char* node : {"283155", "130", "5174"})
                service.setBrowseNodeReply(node, group, Reply::xml(replies::browseNode(group, entries)));

        auto when = [&current](int kind) {
            return [&current, kind](const FakeWebService::Query&) { return current == kind; };
        };
        service.addReply(when(ServerError), Reply::error(500, "<html>Internal Server Error</html>"));
        service.addReply(when(TimeOut),
                         Reply::xml(goodSearch).delayed(platform::HttpClient::kDefaultInactivityMs + 2000));
        service.addReply(when(CutBody), Reply::xml(replies::search(randomItems(10))).cutOff());
        service.addReply(when(Malformed), Reply::xml("<?xml version=\"1.0\"?><ItemSearchResponse><Items><Item>"));
        service.addReply(when(OverLimit), Reply::xml(overLimit));
        service.addReply(when(RedirectLoop), Reply::redirectLoop());
        // Added last, so asked first: draws this request's fault.
        service.addReply(
            [&](const FakeWebService::Query&) {
                current = pick(rng);
                ++drawn[current];
                return false;
            },
            Reply::xml({}));
    };

    std::printf("soak: %d fetch cycles, seed %u\n", cycles, seed);
    int failures = 0;
    int refusedAlerts = 0;
    qint64 rssAt20 = 0;
    qint64 rssLast = 0;
    QElapsedTimer whole;
    whole.start();
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        arrange();
        quobex::AlertDefinitions& defs = form->Definitions;
        defs.clear();
        for (int i = 0; i < kAlerts; ++i) {
            const bool refused = rng() % 8 == 0;
            refusedAlerts += refused;
            defs.KeywordList.append("soak alert " + QByteArray::number(i));
            defs.ItemTypeList.append(i % 2 ? "DVD" : "Books");
            defs.LocalizationList.append(refused ? "U.K." : "U.S.A.");
        }
        const qsizetype errorsBefore = harness.messages.errors.size();
        form->QueryAmazonNow2->trigger();
        platform::WaitWhile([form] { return form->Busy; }, 2);

        // The tree as stored, and each alert cut to the items kept.
        auto fail = [&](const char* what) {
            ++failures;
            std::printf("cycle %d: %s\n", cycle, what);
        };
        if (form->Busy || form->isFetching())
            fail("still busy after the fetch");
        if (harness.messages.errors.size() != errorsBefore)
            fail(qPrintable(QStringLiteral("error shown: ") + harness.messages.errors.last()));
        if (testsupport::readFile(itemsPath) != quobex::ItemsFile::encode(form->Tree))
            fail("items file differs from the tree");
        quobex::AlertTree reread;
        if (quobex::ItemsFile::load(itemsPath, reread) != quobex::ItemsFile::LoadResult::Loaded)
            fail("items file does not load");
        for (int g = 0; g < form->Tree.root()->childCount(); ++g) {
            const quobex::AlertNode* group = form->Tree.root()->child(g);
            for (int a = 0; a < group->childCount(); ++a) {
                if (group->child(a)->childCount() > kKeep)
                    fail("an alert holds more items than kept");
            }
        }
        if (QFile::exists(indexPath)) {
            const platform::TextList::Lines index = platform::TextList::load(indexPath);
            if (index.size() > kKeep)
                fail("latest-alert index longer than kept");
        }
        if (cycle % 20 == 0) {
            const qint64 rss = residentBytes();
            if (cycle == 20)
                rssAt20 = rss;
            rssLast = rss;
            std::printf("cycle %3d: %5lld s, resident %7.1f MiB, %d tree nodes, %lld requests\n", cycle,
                        whole.elapsed() / 1000, double(rss) / (1024 * 1024), form->Tree.nodeCount(),
                        qint64(service.targets().size()));
            std::fflush(stdout);
        }
    }
    std::printf("faults drawn:");
    for (int k = 0; k < kKinds; ++k)
        std::printf(" %s %d;", kKindNames[k], drawn[k]);
    std::printf(" refused alerts %d\n", refusedAlerts);
    const double growth = rssAt20 > 0 ? 100.0 * double(rssLast - rssAt20) / double(rssAt20) : 0;
    std::printf("resident after cycle 20: %.1f MiB, after cycle %d: %.1f MiB (%+.1f %%); %d failed checks\n",
                double(rssAt20) / (1024 * 1024), cycles, double(rssLast) / (1024 * 1024), growth, failures);
    const bool ok = failures == 0 && growth <= 10.0;
    std::printf("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
