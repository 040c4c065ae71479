// Saving and loading the items file of a large tree (400 alerts of 50 items
// with texts of the sizes the web service sends), against a plain write and
// read of the same bytes, with the memory each step takes at its peak.
//
//   bench_items_file [folder]   (default: a temporary folder)

#include "platform/SaveFile.h"
#include "quobex/store/ItemsFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

using namespace quobex;

namespace {

constexpr int kGroups = 20;
constexpr int kAlertsPerGroup = 20;
constexpr int kItemsPerAlert = 50;
constexpr int kRuns = 7;

// Text of about `units` code units, varying by half either way.
QString text(QRandomGenerator& random, int units, const char* stem)
{
    const int length = units / 2 + int(random.bounded(units + 1));
    QString s = QString::fromLatin1(stem);
    s.reserve(length);
    while (s.size() < length)
        s += QChar(char16_t(u'a' + random.bounded(26)));
    s.truncate(length);
    return s;
}

void buildTree(AlertTree& tree)
{
    QRandomGenerator random(20050726);
    for (int g = 0; g < kGroups; ++g) {
        AlertNode* group = tree.AddChild(tree.root());
        group->data.ItemType = QStringLiteral("Type%1").arg(g);
        group->data.Keyword = QStringLiteral("keyword %1").arg(g);
        group->data.Localization = QStringLiteral("U.S.A.");
        group->data.IsNew = QStringLiteral("false");
        group->data.IsRead = QStringLiteral("false");
        group->data.Reserved = -1;
        for (int a = 0; a < kAlertsPerGroup; ++a) {
            AlertNode* alert = tree.AddChild(group);
            alert->data = group->data;
            alert->data.Keyword = text(random, 15, "kw ");
            for (int i = 0; i < kItemsPerAlert; ++i) {
                AlertNode* item = tree.AddChild(alert);
                TAlertNodeData& d = item->data;
                d.Title = text(random, 60, "Title ");
                d.EditorialReview = text(random, 900, "<p>Review ");
                d.DetailPageURL = text(random, 130, "http://www.amazon.com/exec/obidos/redirect?tag=quobex-20&path=");
                d.Keyword = alert->data.Keyword;
                d.Localization = alert->data.Localization;
                d.ItemType = alert->data.ItemType;
                d.ImageURL = text(random, 60, "http://images.amazon.com/images/P/");
                d.ASIN = QStringLiteral("B%1").arg(qint64(g) * 100000 + a * 100 + i, 9, 10, QChar(u'0'));
                d.IsNew = i < 3 ? QStringLiteral("true") : QStringLiteral("false");
                d.IsRead = i < 10 ? QStringLiteral("false") : QStringLiteral("true");
                d.ProductDetails = text(random, 400, "<ul><li>");
                d.Offers = text(random, 250, "<table><tr><td>");
                d.ReviewOffers = text(random, 250, "<table><tr><td>");
                if (i % 3 == 0)
                    d.Tracks = text(random, 800, "<ol><li><a href=");
                d.RatingImageURL = text(random, 65, "http://g-images.amazon.com/images/G/01/x-locale/common/");
                d.ListPrice = QStringLiteral("$24.99");
                d.ByLine = text(random, 25, "by ");
                d.Price = QStringLiteral("$16.49");
            }
        }
    }
}

// A memory figure of this process in kB, "VmHWM" (the peak since the last
// reset) or "VmRSS" (now); 0 where the system does not tell.
long statusKb(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').first().toLong();
    }
    return 0;
}

long peakKb()
{
    return statusKb("VmHWM");
}

long residentKb()
{
    return statusKb("VmRSS");
}

void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

struct Measure {
    double bestSeconds = 1e9;
    long extraPeakKb = 0; // above the resident memory before the step
};

// Best of kRuns; `prepare` runs untimed before each run.
Measure measure(const std::function<void()>& step, const std::function<void()>& prepare = {})
{
    Measure m;
    for (int run = 0; run < kRuns; ++run) {
        if (prepare)
            prepare();
        const long before = residentKb();
        resetPeak();
        QElapsedTimer timer;
        timer.start();
        step();
        m.bestSeconds = std::min(m.bestSeconds, double(timer.nsecsElapsed()) / 1e9);
        m.extraPeakKb = std::max(m.extraPeakKb, peakKb() - before);
    }
    return m;
}

void report(const char* what, const Measure& m, double megabytes)
{
    std::printf("  %-34s %8.1f ms %9.1f MB/s   peak +%7.1f MB\n", what, m.bestSeconds * 1000, megabytes / m.bestSeconds,
                double(m.extraPeakKb) / 1024);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    const QString itemsPath = folder + QStringLiteral("/bench_items.dat");
    const QString plainPath = folder + QStringLiteral("/bench_plain.dat");

    const long startKb = residentKb();
    auto tree = std::make_unique<AlertTree>();
    buildTree(*tree);
    const long treeKb = residentKb() - startKb;

    ItemsFile::save(*tree, itemsPath);
    QByteArray bytes;
    {
        QFile file(itemsPath);
        file.open(QIODevice::ReadOnly);
        bytes = file.readAll();
    }
    const double megabytes = double(bytes.size()) / (1024 * 1024);
    std::printf("items file: %d nodes, %.1f MB; the tree takes about %.1f MB in memory\n", tree->nodeCount(), megabytes,
                double(treeKb) / 1024);

    const Measure save = measure([&] { ItemsFile::save(*tree, itemsPath); });
    const Measure plainWrite = measure([&] { platform::SaveFile::write(plainPath, bytes); });

    std::unique_ptr<AlertTree> loaded;
    const Measure load = measure(
        [&] {
            if (ItemsFile::load(itemsPath, *loaded) != ItemsFile::LoadResult::Loaded)
                std::abort();
        },
        [&] { loaded = std::make_unique<AlertTree>(); });
    if (loaded->nodeCount() != tree->nodeCount())
        std::abort();
    loaded.reset();
    // Into a buffer made once, so the read pays for no fresh pages.
    QByteArray readBuffer(bytes.size(), '\0');
    const Measure plainRead = measure([&] {
        QFile file(itemsPath);
        file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        if (file.read(readBuffer.data(), readBuffer.size()) != bytes.size())
            std::abort();
    });
    const Measure readAll = measure([&] {
        QFile file(itemsPath);
        file.open(QIODevice::ReadOnly);
        if (file.readAll().size() != bytes.size())
            std::abort();
    });
    bytes.clear();
    bytes.squeeze();

    std::printf("best of %d runs (writes replace the file atomically and sync it):\n", kRuns);
    report("save (ItemsFile::save)", save, megabytes);
    report("plain write (SaveFile, same bytes)", plainWrite, megabytes);
    report("load (ItemsFile::load, new tree)", load, megabytes);
    report("plain read (QFile::read)", plainRead, megabytes);
    report("  for comparison: QFile::readAll", readAll, megabytes);
    std::printf("save takes %.2fx the plain write, load %.2fx the plain read (target: within 3x)\n",
                save.bestSeconds / plainWrite.bestSeconds, load.bestSeconds / plainRead.bestSeconds);
    QFile::remove(itemsPath);
    QFile::remove(plainPath);
    return 0;
}
