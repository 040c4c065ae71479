// Parse and merge of a realistic ten-product search reply, the work a fetch
// does per keyword alert once the reply is in. Prints microseconds per
// reply for the parse alone and for parse plus merge into a fresh alert
// (ten new products), and for a repeated search (ten known products).
// Target: the merge adds at most as much time again as the parse.

#include "quobex/engine/FetchSession.h"

#include "platform/XmlDocument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quobex;

namespace {

constexpr int kRounds = 9;
constexpr int kRepliesPerRound = 200;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Microseconds per reply, median over the rounds. `once` returns the
// nanoseconds of the timed part of one run.
template <typename F> double perReply(F once)
{
    std::vector<double> rounds;
    for (int r = 0; r < kRounds; ++r) {
        qint64 ns = 0;
        for (int i = 0; i < kRepliesPerRound; ++i)
            ns += once();
        rounds.push_back(double(ns) / kRepliesPerRound / 1000.0);
    }
    return median(rounds);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QFile file(QStringLiteral(QUOBEX_FIXTURES_DIR "/replies/ItemSearch-ten-items.xml"));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
        return 1;
    }
    const QByteArray reply = file.readAll();
    const Endpoints endpoints = Endpoints::configured();
    const auto fetcher = [&reply](const QByteArray&) { return reply; };

    platform::XmlDocument document;
    const double parse = perReply([&] {
        QElapsedTimer clock;
        clock.start();
        document.load(reply);
        return clock.nsecsElapsed();
    });

    int products = 0;
    const double fresh = perReply([&] {
        AlertTree tree;
        QList<QByteArray> titles;
        FetchSession session(endpoints, tree, titles);
        session.setFetcher(fetcher);
        QElapsedTimer clock;
        clock.start();
        session.SearchKeywordAlert("Blended", "example", "U.S.A.");
        const qint64 ns = clock.nsecsElapsed();
        products = tree.root()->firstChild()->firstChild()->childCount();
        return ns;
    });

    AlertTree knownTree;
    QList<QByteArray> knownTitles;
    FetchSession known(endpoints, knownTree, knownTitles);
    known.setFetcher(fetcher);
    known.SearchKeywordAlert("Blended", "example", "U.S.A.");
    const double repeat = perReply([&] {
        QElapsedTimer clock;
        clock.start();
        known.SearchKeywordAlert("Blended", "example", "U.S.A.");
        return clock.nsecsElapsed();
    });

    if (products != 10 || knownTree.root()->firstChild()->firstChild()->childCount() != 10) {
        std::fprintf(stderr, "the reply did not merge ten products\n");
        return 1;
    }

    const double merge = fresh - parse;
    std::printf("reply: %lld bytes, 10 products; median of %d rounds of %d replies\n",
                static_cast<long long>(reply.size()), kRounds, kRepliesPerRound);
    std::printf("parse alone:                      %8.1f us per reply\n", parse);
    std::printf("parse + merge, 10 new products:   %8.1f us per reply (parse %.0f%%, merge %.0f%%)\n", fresh,
                100.0 * parse / fresh, 100.0 * merge / fresh);
    std::printf("parse + merge, 10 known products: %8.1f us per reply (parse %.0f%%)\n", repeat,
                100.0 * parse / repeat);
    std::printf("merge / parse: %.2f (target at most 1.00): %s\n", merge / parse,
                merge <= parse ? "within target" : "OVER TARGET");
    return 0;
}
