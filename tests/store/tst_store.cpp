// The alert store without windows: the items file, the node texts and
// styles, the latest-alert index and the alert definition files.

#include "platform/Errors.h"
#include "quobex/config/DataFiles.h"
#include "quobex/store/AlertDefinitions.h"
#include "quobex/store/ItemsFile.h"
#include "quobex/store/LatestAlerts.h"
#include "quobex/store/TreeDisplay.h"
#include "tests/store/TreeBuilding.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Fixtures.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <limits>

using namespace quobex;

Q_DECLARE_METATYPE(quobex::TAlertNodeData)
using storetest::add;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

// ---------------------------------------------------------------------------
// The items file, put together by hand from its layout: every size below is
// the length of what was concatenated, never a figure from the code under test.

QByteArray le16(quint16 v)
{
    return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
}

QByteArray le32(quint32 v)
{
    return le16(quint16(v & 0xFFFF)) + le16(quint16(v >> 16));
}

QByteArray units(const QString& text)
{
    QByteArray out;
    for (QChar c : text)
        out += le16(c.unicode());
    return out;
}

QByteArray chunk(qint32 type, const QByteArray& body)
{
    return le32(quint32(type)) + le32(quint32(body.size())) + body;
}

const QByteArray kSignature = QByteArray("\x45\x20\x56\x00\x54\x00\x02\x00\x20\x00\x46\x20", 12);

QByteArray header(quint32 topLevelCount)
{
    return kSignature + le32(topLevelCount);
}

// Bits: 0 initialized, 5 expanded, 6 has children, 7 visible, 8 selected.
constexpr quint16 kInit = 0x01, kExpanded = 0x20, kHasChildren = 0x40, kVisible = 0x80, kSelected = 0x100;

QByteArray baseChunk(quint32 children, quint16 states, const QByteArray& childChunks = {})
{
    const QByteArray body = le32(children) + le32(18) + le16(states) + char(50) + char(0) + char(0) + le32(0);
    return chunk(2, body + childChunks);
}

QByteArray str(const QString& s)
{
    return le32(quint32(s.size())) + units(s);
}

QByteArray record(const TAlertNodeData& d)
{
    return str(d.Title) + str(d.EditorialReview) + str(d.DetailPageURL) + str(d.Keyword) + str(d.Localization) +
           str(d.ItemType) + str(d.ImageURL) + str(d.ASIN) + str(d.IsNew) + str(d.IsRead) + le32(quint32(d.Reserved)) +
           le32(quint32(d.NewCount)) + le32(quint32(d.UnreadCount)) + str(d.ProductDetails) + str(d.Offers) +
           str(d.ReviewOffers) + str(d.Tracks) + str(d.RatingImageURL) + str(d.ListPrice) + str(d.ByLine) +
           str(d.Price);
}

QByteArray nodeChunk(const QByteArray& base, const TAlertNodeData& d, const QString& caption)
{
    QByteArray body = base + chunk(4, record(d));
    if (!caption.isEmpty())
        body += chunk(3, units(caption));
    return chunk(1, body);
}

TAlertNodeData group(const QString& itemType, qint32 fresh = 0, qint32 unread = 0)
{
    TAlertNodeData d = storetest::searchRecord(itemType, fresh, unread);
    d.Keyword = QStringLiteral("harry potter");
    d.Localization = QStringLiteral("U.S.A.");
    return d;
}

TAlertNodeData alert(const QString& keyword, const QString& localization, qint32 fresh = 0, qint32 unread = 0)
{
    TAlertNodeData d = group(QStringLiteral("Books"), fresh, unread);
    d.Keyword = keyword;
    d.Localization = localization;
    return d;
}

TAlertNodeData item(const QString& title, const QString& asin)
{
    TAlertNodeData d;
    d.Title = title;
    d.EditorialReview = QStringLiteral("<b>A review</b>");
    d.DetailPageURL = QStringLiteral("http://www.amazon.com/exec/obidos/redirect?path=ASIN/") + asin;
    d.Keyword = QStringLiteral("harry potter");
    d.Localization = QStringLiteral("U.S.A.");
    d.ItemType = QStringLiteral("Books");
    d.ImageURL = QStringLiteral("http://images.amazon.com/images/P/") + asin + QStringLiteral(".01.MZZZZZZZ.jpg");
    d.ASIN = asin;
    d.IsNew = kTrue;
    d.IsRead = kFalse;
    d.ByLine = QStringLiteral("J. K. Rowling, Caf\u00e9 \u20ac");
    d.Price = QStringLiteral("$17.99");
    return d;
}

// Two groups, the first with an alert holding one item. Short texts keep
// the file small enough to try every change of every byte.
void buildSmallTree(AlertTree& tree)
{
    TAlertNodeData d;
    d.ItemType = QStringLiteral("B");
    d.NewCount = 1;
    AlertNode* books = add(tree, tree.root(), d);
    d.Keyword = QStringLiteral("k");
    d.Localization = QStringLiteral("L");
    AlertNode* k = add(tree, books, d);
    TAlertNodeData i;
    i.Title = QStringLiteral("T");
    i.IsNew = kTrue;
    add(tree, k, i);
    TAlertNodeData dvd;
    dvd.ItemType = QStringLiteral("D");
    add(tree, tree.root(), dvd);
}

QList<TAlertNodeData> records(const AlertTree& tree)
{
    QList<TAlertNodeData> all;
    tree.FindFirst([&](const AlertNode& n) {
        all.append(n.data);
        return false;
    });
    return all;
}

QStringList shape(const AlertTree& tree)
{
    QStringList lines;
    tree.FindFirst([&](const AlertNode& n) {
        lines.append(QString::number(n.level()) + QLatin1Char(':') + TreeDisplay::text(n));
        return false;
    });
    return lines;
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();

    // Items file
    void emptyTreeIsSixteenBytes();
    void savesTheLayoutByteForByte();
    void bigTreeSavesAsItEncodes();
    void declaredChildCountWins();
    void malformedFileLoadsEmpty_data();
    void malformedFileLoadsEmpty();
    void acceptedDeviations_data();
    void acceptedDeviations();
    void missingFileLeavesTree();
    void stringsRoundTrip_data();
    void stringsRoundTrip();
    void everyCutAndByteChangeLoadsSafely();
    void deepNestingNeedsNoStack();
    void failedSaveKeepsPreviousFile();
    void unreadableFileMovedAsideNeverOverwrites();
    void extremeCountsFromAFileSurviveReading();

    // Node texts and styles
    void nodeTextAndStyle_data();
    void nodeTextAndStyle();

    // Latest alerts
    void findNodeByAsinInPreOrder();
    void indexFileLoad();

    // Alert definitions
    void unequalDefinitionFilesDiscardAll();
    void noDefinitionFiles();
    void definitionsRoundTrip();
    void definitionsAreReplacedAsASet();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestStore::emptyTreeIsSixteenBytes()
{
    AlertTree tree;
    const QString file = path(QStringLiteral("items.dat"));
    ItemsFile::save(tree, file);
    QCOMPARE(readFile(file), header(0));
    QCOMPARE(readFile(file).size(), 16);

    AlertTree loaded;
    buildSmallTree(loaded);
    QCOMPARE(ItemsFile::load(file, loaded), ItemsFile::LoadResult::Loaded);
    QVERIFY(loaded.isEmpty());
}

void TestStore::savesTheLayoutByteForByte()
{
    AlertTree tree;
    AlertNode* books = add(tree, tree.root(), group(QStringLiteral("Books")));
    AlertNode* hp = add(tree, books, alert(QStringLiteral("harry potter"), QStringLiteral("U.S.A."), 1, 1));
    AlertNode* prince = add(tree, hp, item(QStringLiteral("Half-Blood Prince"), QStringLiteral("0439784549")));
    AlertNode* untitled = add(tree, hp, item(QString(), QStringLiteral("B000000002")));
    books->expanded = true;
    hp->expanded = true;
    hp->selected = true;

    const QByteArray itemChunks =
        nodeChunk(baseChunk(0, kInit | kVisible), prince->data, QStringLiteral("Half-Blood Prince")) +
        nodeChunk(baseChunk(0, kInit | kVisible), untitled->data, QString());
    const QByteArray alertChunk =
        nodeChunk(baseChunk(2, kInit | kExpanded | kHasChildren | kVisible | kSelected, itemChunks), hp->data,
                  QStringLiteral("harry potter (U.S.A.) - 1 new, 1 unread"));
    const QByteArray expected =
        header(1) + nodeChunk(baseChunk(1, kInit | kExpanded | kHasChildren | kVisible, alertChunk), books->data,
                              QStringLiteral("Books - 0 new, 0 unread"));

    const QString file = path(QStringLiteral("items.dat"));
    ItemsFile::save(tree, file);
    const QByteArray written = readFile(file);
    QCOMPARE(written.toHex(' '), expected.toHex(' '));
    // The group's caption closes the file: 23 code units.
    QCOMPARE(written.right(46 + 8).left(8), le32(3) + le32(46));
    QCOMPARE(ItemsFile::encode(tree), written);

    // Back in, everything collapsed and nothing selected, whatever was saved.
    AlertTree loaded;
    QCOMPARE(ItemsFile::load(file, loaded), ItemsFile::LoadResult::Loaded);
    QCOMPARE(records(loaded), records(tree));
    QCOMPARE(loaded.nodeCount(), 4);
    QVERIFY(!loaded.FindFirst([](const AlertNode& n) { return n.expanded || n.selected || !n.visible; }));
}

void TestStore::bigTreeSavesAsItEncodes()
{
    // Several megabytes, so chunk sizes are filled in after their headers
    // have gone out to the file.
    AlertTree tree;
    const QString review(3000, QChar(u'r'));
    for (int g = 0; g < 3; ++g) {
        AlertNode* grp = add(tree, tree.root(), group(QStringLiteral("G%1").arg(g)));
        for (int a = 0; a < 4; ++a) {
            AlertNode* al = add(tree, grp, alert(QStringLiteral("k%1").arg(a), QStringLiteral("U.S.A.")));
            for (int i = 0; i < 60; ++i) {
                TAlertNodeData d = item(QStringLiteral("Title %1").arg(i), QStringLiteral("A%1").arg(i));
                d.EditorialReview = review;
                add(tree, al, d);
            }
        }
    }
    // One text larger than the read and write buffers.
    tree.root()->child(1)->child(2)->child(7)->data.Tracks = QString(700000, QChar(u'\u00e9'));
    const QString file = path(QStringLiteral("big.dat"));
    ItemsFile::save(tree, file);
    const QByteArray written = readFile(file);
    QVERIFY(written.size() > 4 * 1024 * 1024);
    QVERIFY(written == ItemsFile::encode(tree));

    AlertTree loaded;
    QCOMPARE(ItemsFile::load(file, loaded), ItemsFile::LoadResult::Loaded);
    QVERIFY(records(loaded) == records(tree));
}

void TestStore::declaredChildCountWins()
{
    QByteArray items;
    for (int i = 0; i < 25; ++i)
        items +=
            nodeChunk(baseChunk(0, kInit | kVisible), item(QStringLiteral("T%1").arg(i), QStringLiteral("A%1").arg(i)),
                      QStringLiteral("T%1").arg(i));
    const TAlertNodeData alertData = alert(QStringLiteral("after the items"), QStringLiteral("Canada"), 3, 4);
    const QByteArray alertChunk = nodeChunk(baseChunk(20, kInit | kHasChildren | kVisible, items), alertData, {});
    const QByteArray file = header(1) + nodeChunk(baseChunk(1, kInit | kHasChildren | kVisible, alertChunk),
                                                  group(QStringLiteral("Books")), {});
    writeFile(path(QStringLiteral("items.dat")), file);

    AlertTree tree;
    QCOMPARE(ItemsFile::load(path(QStringLiteral("items.dat")), tree), ItemsFile::LoadResult::Loaded);
    QCOMPARE(tree.groupCount(), 1);
    const AlertNode* loadedAlert = tree.root()->child(0)->child(0);
    QCOMPARE(loadedAlert->childCount(), 20);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(loadedAlert->child(i)->data.ASIN, QStringLiteral("A%1").arg(i));
    QCOMPARE(loadedAlert->data, alertData);
}

void TestStore::malformedFileLoadsEmpty_data()
{
    QTest::addColumn<QByteArray>("file");
    const TAlertNodeData g = group(QStringLiteral("Books"));
    const QByteArray good = nodeChunk(baseChunk(0, kInit | kVisible), g, QStringLiteral("Books - 0 new, 0 unread"));
    const QByteArray base0 = baseChunk(0, kInit | kVisible);

    QByteArray otherSignature = header(0);
    otherSignature[2] = 'W';
    QByteArray version3 = header(0);
    version3[6] = 3;
    QByteArray version1 = header(0);
    version1[6] = 1;
    QByteArray version0 = header(0);
    version0[6] = 0;

    QTest::newRow("10 bytes") << header(0).left(10);
    QTest::newRow("other signature") << otherSignature;
    QTest::newRow("version 3") << version3;
    QTest::newRow("version 1 (never written by us)") << version1;
    QTest::newRow("version 0 (never written by us)") << version0;
    QTest::newRow("no top-level count") << kSignature + QByteArray("\x01\x00", 2);
    QTest::newRow("top-level chunk of another type") << header(1) + chunk(2, base0);
    QTest::newRow("chunk larger than the file") << header(1) + le32(1) + le32(1000) + base0;
    QTest::newRow("negative chunk size") << header(1) + le32(1) + le32(0xFFFFFFF0u) + base0;
    QTest::newRow("header cut short") << header(1) + le32(1) + QByteArray("\x10\x00", 2);
    QTest::newRow("cut inside a group") << header(1) + good.left(good.size() - 5);
    QTest::newRow("base chunk shorter than its body") << header(1) + chunk(1, chunk(2, QByteArray(10, '\0')));
    QTest::newRow("declared child missing")
        << header(1) + chunk(1, baseChunk(1, kInit | kVisible) + chunk(4, record(g)));
    QTest::newRow("child outside its base chunk")
        << header(1) + chunk(1, baseChunk(1, kInit | kVisible) + good + chunk(4, record(g)));
    QTest::newRow("child of another type") << header(1) + chunk(1, baseChunk(1, kInit | kVisible, chunk(4, record(g))));
    QTest::newRow("string longer than its chunk")
        << header(1) + chunk(1, base0 + chunk(4, le32(0x7FFFFFFF) + QByteArray(80, 'x')));
    QTest::newRow("string longer than the file") << header(1) + chunk(1, base0 + chunk(4, le32(0xFFFFFFFF)));
    QTest::newRow("record cut short in its chunk") << header(1) + chunk(1, base0 + chunk(4, record(g).left(60)));
    QTest::newRow("sub-chunk beyond its node chunk")
        << header(1) + chunk(1, base0 + le32(3) + le32(40) + QByteArray(4, 'x'));
    QTest::newRow("stray bytes before the node's end") << header(1) + chunk(1, base0 + QByteArray(3, '\0'));
    QTest::newRow("base chunk beyond its node chunk")
        << header(1) + le32(1) + le32(20) + le32(2) + le32(17) + QByteArray(17, '\0');
}

void TestStore::malformedFileLoadsEmpty()
{
    QFETCH(QByteArray, file);
    const QString name = path(QStringLiteral("items.dat"));
    writeFile(name, file);
    AlertTree tree;
    buildSmallTree(tree);
    QCOMPARE(ItemsFile::load(name, tree), ItemsFile::LoadResult::Malformed);
    QVERIFY(tree.isEmpty());
    QCOMPARE(readFile(name), file);
}

void TestStore::acceptedDeviations_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("expected");
    const TAlertNodeData books = group(QStringLiteral("Books"));
    const TAlertNodeData dvd = group(QStringLiteral("DVD"));
    const QByteArray base0 = baseChunk(0, kInit | kVisible);
    const QByteArray booksChunk = nodeChunk(base0, books, QStringLiteral("Books - 0 new, 0 unread"));
    const QByteArray dvdChunk = nodeChunk(base0, dvd, QStringLiteral("DVD - 0 new, 0 unread"));
    const QStringList both = {QStringLiteral("1:Books - 0 new, 0 unread"), QStringLiteral("1:DVD - 0 new, 0 unread")};
    const QStringList first = {both.first()};

    QTest::newRow("ends between two groups") << header(2) + booksChunk << first;
    QTest::newRow("count below the groups in the file") << header(1) + booksChunk + dvdChunk << first;
    QTest::newRow("count above and trailing nothing") << header(7) + booksChunk + dvdChunk << both;
    QTest::newRow("unknown chunk types skipped")
        << header(1) + chunk(1, chunk(9, "xyz") + base0 + chunk(-5, {}) + chunk(4, record(books))) << first;
    QTest::newRow("sub-chunks in any order, caption ignored")
        << header(1) + chunk(1, chunk(3, units(QStringLiteral("whatever"))) + chunk(4, record(books)) + base0) << first;
    QTest::newRow("record shorter than its chunk")
        << header(1) + chunk(1, base0 + chunk(4, record(books) + QByteArray(13, '\x7F'))) << first;
    QTest::newRow("empty user-data chunk")
        << header(1) + chunk(1, base0 + chunk(4, {})) << QStringList{QStringLiteral("1: - 0 new, 0 unread")};
    QTest::newRow("no sub-chunks at all")
        << header(1) + chunk(1, {}) << QStringList{QStringLiteral("1: - 0 new, 0 unread")};
    QTest::newRow("further children skipped inside the base chunk")
        << header(1) +
               chunk(1, baseChunk(1, kInit | kVisible, dvdChunk + booksChunk + booksChunk) + chunk(4, record(books)))
        << QStringList{both.first(), QStringLiteral("2:harry potter (U.S.A.) - 0 new, 0 unread")};
}

void TestStore::acceptedDeviations()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);
    AlertTree tree;
    QVERIFY(ItemsFile::decode(file, tree));
    QCOMPARE(shape(tree), expected);
}

void TestStore::missingFileLeavesTree()
{
    AlertTree tree;
    buildSmallTree(tree);
    QCOMPARE(ItemsFile::load(path(QStringLiteral("none.dat")), tree), ItemsFile::LoadResult::Missing);
    QCOMPARE(tree.nodeCount(), 4);

    // A node saved invisible comes back invisible.
    const QByteArray hidden =
        header(1) + chunk(1, baseChunk(0, kInit) + chunk(4, record(group(QStringLiteral("Books")))));
    AlertTree loaded;
    QVERIFY(ItemsFile::decode(hidden, loaded));
    QVERIFY(!loaded.root()->child(0)->visible);
}

void TestStore::stringsRoundTrip_data()
{
    QTest::addColumn<int>("length");
    for (int length : {0, 1, 2, 3, 127, 128, 255, 256, 4095, 4096, 65535, 65536, 70001})
        QTest::newRow(qPrintable(QString::number(length))) << length;
}

void TestStore::stringsRoundTrip()
{
    QFETCH(int, length);
    // Any code unit: NUL, lone surrogates, non-characters, byte-order marks.
    QString text(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        text[i] = QChar(char16_t((i * 40503u + 0xD7FFu) & 0xFFFF));
    if (length > 0)
        text[0] = QChar(char16_t(length % 2 ? 0xDC00 : 0x0000));

    AlertTree tree;
    TAlertNodeData d;
    QString* strings[] = {&d.Title,          &d.EditorialReview, &d.DetailPageURL, &d.Keyword, &d.Localization,
                          &d.ItemType,       &d.ImageURL,        &d.ASIN,          &d.IsNew,   &d.IsRead,
                          &d.ProductDetails, &d.Offers,          &d.ReviewOffers,  &d.Tracks,  &d.RatingImageURL,
                          &d.ListPrice,      &d.ByLine,          &d.Price};
    for (size_t slot = 0; slot < std::size(strings); ++slot)
        *strings[slot] = slot % 2 ? text : text.left(length - int(slot) % 3);
    d.Reserved = std::numeric_limits<qint32>::min();
    d.NewCount = std::numeric_limits<qint32>::max();
    d.UnreadCount = -1;
    AlertNode* top = add(tree, tree.root(), d);
    add(tree, add(tree, top, d), d);

    const QString file = path(QStringLiteral("items.dat"));
    ItemsFile::save(tree, file);
    AlertTree loaded;
    QCOMPARE(ItemsFile::load(file, loaded), ItemsFile::LoadResult::Loaded);
    QCOMPARE(loaded.nodeCount(), 3);
    QVERIFY(records(loaded) == records(tree));
}

void TestStore::everyCutAndByteChangeLoadsSafely()
{
    AlertTree source;
    buildSmallTree(source);
    const QByteArray bytes = ItemsFile::encode(source);
    QVERIFY2(bytes.size() < 700, qPrintable(QString::number(bytes.size())));

    // A cut is accepted only where it ends the file between two groups.
    for (qsizetype length = 0; length < bytes.size(); ++length) {
        AlertTree tree;
        if (ItemsFile::decode(bytes.left(length), tree))
            QVERIFY2(tree.groupCount() < 2, qPrintable(QString::number(length)));
    }
    QByteArray changed = bytes;
    int accepted = 0;
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        for (int value = 0; value < 256; ++value) {
            if (char(value) == bytes[at])
                continue;
            changed[at] = char(value);
            AlertTree tree;
            if (ItemsFile::decode(changed, tree))
                ++accepted;
        }
        changed[at] = bytes[at];
    }
    // Changes inside texts and counts are still well-formed files.
    QVERIFY(accepted > 0);

    // The same through the file reader, which buffers and seeks: every cut,
    // and every byte set to each of two values.
    const QString file = path(QStringLiteral("swept.dat"));
    for (qsizetype length = 0; length < bytes.size(); ++length) {
        writeFile(file, bytes.left(length));
        AlertTree tree;
        if (ItemsFile::load(file, tree) == ItemsFile::LoadResult::Loaded)
            QVERIFY2(tree.groupCount() < 2, qPrintable(QString::number(length)));
        QCOMPARE(readFile(file), bytes.left(length)); // the file is left alone
    }
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        for (const char value : {'\x00', '\xff'}) {
            QByteArray one = bytes;
            one[at] = value;
            writeFile(file, one);
            AlertTree tree;
            const bool loaded = ItemsFile::load(file, tree) == ItemsFile::LoadResult::Loaded;
            AlertTree fromMemory;
            QCOMPARE(loaded, ItemsFile::decode(one, fromMemory));
        }
    }
}

void TestStore::deepNestingNeedsNoStack()
{
    // Each level a node chunk holding only a base chunk that declares one
    // child: far deeper than any call stack would take by recursion.
    constexpr int kDepth = 60000;
    constexpr int kLevelBytes = 8 + 8 + 17;
    const QByteArray level = le32(1) + le32(0) + le32(2) + le32(0) + baseChunk(1, kInit | kVisible).mid(8);
    QCOMPARE(level.size(), kLevelBytes);
    QByteArray file = header(1);
    file.reserve(file.size() + qsizetype(kDepth) * kLevelBytes);
    for (int i = 0; i < kDepth; ++i) {
        const quint32 below = quint32(kDepth - i - 1) * kLevelBytes;
        const qsizetype at = file.size();
        file += level;
        qToLittleEndian<quint32>(8 + 17 + below, file.data() + at + 4);
        qToLittleEndian<quint32>(17 + below, file.data() + at + 12);
        if (i == kDepth - 1)
            qToLittleEndian<quint32>(0, file.data() + at + 16);
    }
    AlertTree tree;
    QVERIFY(ItemsFile::decode(file, tree));
    QCOMPARE(tree.nodeCount(), kDepth);

    const QByteArray saved = ItemsFile::encode(tree);
    AlertTree again;
    QVERIFY(ItemsFile::decode(saved, again));
    QCOMPARE(again.nodeCount(), kDepth);

    // Cut off the innermost node's end: the file is no longer well-formed.
    AlertTree broken;
    QVERIFY(!ItemsFile::decode(file.left(file.size() - 1), broken));
}

void TestStore::failedSaveKeepsPreviousFile()
{
    AlertTree tree;
    buildSmallTree(tree);
    QVERIFY_THROWS_EXCEPTION(platform::IoError,
                             ItemsFile::save(tree, path(QStringLiteral("missing-folder/items.dat"))));

    // The items file's name taken by a folder: the save fails, the folder stays.
    const QString blocked = path(QStringLiteral("blocked.dat"));
    QVERIFY(QDir().mkdir(blocked));
    QVERIFY_THROWS_EXCEPTION(platform::IoError, ItemsFile::save(tree, blocked));
    QVERIFY(QFileInfo(blocked).isDir());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
}

void TestStore::unreadableFileMovedAsideNeverOverwrites()
{
    // Two unreadable files in the same second keep both.
    const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7));
    const QString file = path(QStringLiteral("items.dat"));
    testsupport::writeFile(file, "first");
    QCOMPARE(ItemsFile::moveAside(file, when), file + QStringLiteral(".unreadable-20260304-050607"));
    testsupport::writeFile(file, "second");
    QCOMPARE(ItemsFile::moveAside(file, when), file + QStringLiteral(".unreadable-20260304-050607-2"));
    QCOMPARE(testsupport::readFile(file + QStringLiteral(".unreadable-20260304-050607")), QByteArray("first"));
    QCOMPARE(testsupport::readFile(file + QStringLiteral(".unreadable-20260304-050607-2")), QByteArray("second"));
    QVERIFY(!QFileInfo::exists(file));
    QVERIFY_THROWS_EXCEPTION(platform::IoError, ItemsFile::moveAside(file, when));
}

void TestStore::extremeCountsFromAFileSurviveReading()
{
    TAlertNodeData lowest = group(QStringLiteral("Books"), 0, std::numeric_limits<qint32>::min());
    TAlertNodeData unread = item(QStringLiteral("T"), QStringLiteral("A"));
    const QByteArray base0 = baseChunk(0, kInit | kVisible);
    const QByteArray itemChunk = nodeChunk(base0, unread, QStringLiteral("T"));
    const QByteArray alertChunk = nodeChunk(baseChunk(1, kInit | kHasChildren | kVisible, itemChunk), lowest, {});
    AlertTree tree;
    QVERIFY(ItemsFile::decode(
        header(1) + nodeChunk(baseChunk(1, kInit | kHasChildren | kVisible, alertChunk), lowest, {}), tree));
    AlertNode* loaded = tree.root()->child(0)->child(0)->child(0);
    QVERIFY(tree.MarkRead(loaded));
    QCOMPARE(loaded->parent()->data.UnreadCount, std::numeric_limits<qint32>::max());
    QCOMPARE(tree.root()->child(0)->data.UnreadCount, std::numeric_limits<qint32>::max());
}

void TestStore::nodeTextAndStyle_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<TAlertNodeData>("data");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("blue");
    QTest::addColumn<bool>("bold");

    auto counted = [](int level, qint32 fresh, qint32 unread) {
        TAlertNodeData d = level == 1 ? group(QStringLiteral("Books"), fresh, unread)
                                      : alert(QStringLiteral("harry potter"), QStringLiteral("U.S.A."), fresh, unread);
        return d;
    };
    auto flagged = [](const QString& title, const QString& isNew, const QString& isRead) {
        TAlertNodeData d;
        d.Title = title;
        d.IsNew = isNew;
        d.IsRead = isRead;
        return d;
    };
    QTest::newRow("group 0/0") << 1 << counted(1, 0, 0) << "Books - 0 new, 0 unread" << false << false;
    QTest::newRow("group new") << 1 << counted(1, 1, 0) << "Books - 1 new, 0 unread" << true << false;
    QTest::newRow("group unread") << 1 << counted(1, 0, 1) << "Books - 0 new, 1 unread" << false << true;
    QTest::newRow("group 3/12") << 1 << counted(1, 3, 12) << "Books - 3 new, 12 unread" << true << true;
    QTest::newRow("group negative") << 1 << counted(1, -1, -2147483647 - 1) << "Books - -1 new, -2147483648 unread"
                                    << false << false;
    QTest::newRow("alert") << 2 << counted(2, 0, 2) << "harry potter (U.S.A.) - 0 new, 2 unread" << false << true;
    QTest::newRow("alert new") << 2 << counted(2, 5, 0) << "harry potter (U.S.A.) - 5 new, 0 unread" << true << false;
    QTest::newRow("item new unread") << 3 << flagged("T", kTrue, kFalse) << "T" << true << true;
    QTest::newRow("item read") << 3 << flagged("T", kFalse, kTrue) << "T" << false << false;
    QTest::newRow("item read empty") << 3 << flagged("T", kFalse, QString()) << "T" << false << true;
    QTest::newRow("item new in other case")
        << 3 << flagged("T", QStringLiteral("True"), kTrue) << "T" << false << false;
    QTest::newRow("item empty title") << 3 << flagged(QString(), kTrue, kTrue) << "" << true << false;
}

void TestStore::nodeTextAndStyle()
{
    QFETCH(int, level);
    QFETCH(TAlertNodeData, data);
    QFETCH(QString, text);
    QFETCH(bool, blue);
    QFETCH(bool, bold);

    AlertTree tree;
    AlertNode* node = tree.root();
    for (int i = 1; i <= level; ++i)
        node = add(tree, node, i == level ? data : group(QStringLiteral("x")));
    QCOMPARE(TreeDisplay::text(*node), text);
    const TreeDisplay::TextStyle style = TreeDisplay::style(*node);
    QCOMPARE(style.colour, blue ? 0x006699u : 0x000000u);
    QCOMPARE(style.bold, bold);
}

void TestStore::findNodeByAsinInPreOrder()
{
    AlertTree tree;
    AlertNode* books = add(tree, tree.root(), group(QStringLiteral("Books")));
    AlertNode* first = add(tree, books, alert(QStringLiteral("a"), QStringLiteral("U.S.A.")));
    AlertNode* second = add(tree, books, alert(QStringLiteral("b"), QStringLiteral("U.S.A.")));
    AlertNode* x1 = add(tree, first, item(QStringLiteral("X under a"), QStringLiteral("X")));
    add(tree, second, item(QStringLiteral("X under b"), QStringLiteral("X")));
    AlertNode* dvd = add(tree, tree.root(), group(QStringLiteral("DVD")));
    AlertNode* y = add(tree, add(tree, dvd, alert(QStringLiteral("c"), QStringLiteral("U.K."))),
                       item(QStringLiteral("Caf\u00e9"), QStringLiteral("Y")));

    QCOMPARE(LatestAlerts::FindNodeByASIN(tree, "X"), x1);
    QCOMPARE(LatestAlerts::FindNodeByASIN(tree, "Y"), y); // collapsed all the way
    QCOMPARE(LatestAlerts::FindNodeByASIN(tree, "y"), nullptr);
    QCOMPARE(LatestAlerts::FindNodeByASIN(tree, ""), books);
    QCOMPARE(LatestAlerts::rowText(tree, "Y"), QByteArray("Caf\xe9"));
    QCOMPARE(LatestAlerts::rowText(tree, "Z"), QByteArray("No title"));
    QCOMPARE(LatestAlerts::rowText(tree, ""), QByteArray());
}

void TestStore::indexFileLoad()
{
    QList<QByteArray> list{"kept"};
    QVERIFY(!LatestAlerts::load(path(QStringLiteral("none.dat")), list));
    QCOMPARE(list, QList<QByteArray>{"kept"});

    writeFile(path(QStringLiteral("index.dat")), "B1\r\nB2\nB3\r\r\nB1");
    QVERIFY(LatestAlerts::load(path(QStringLiteral("index.dat")), list));
    QCOMPARE(list, (QList<QByteArray>{"B1", "B2", "B3", "", "B1"}));
}

void TestStore::unequalDefinitionFilesDiscardAll()
{
    const QString folder = m_dir->path() + QLatin1Char('/');
    writeFile(folder + DataFiles::kKeywords, "a\r\nb\r\nc\r\n");
    writeFile(folder + DataFiles::kItemTypes, "Books\r\nDVD\r\nMusic\r\n");
    writeFile(folder + DataFiles::kLocalizations, "U.S.A.\r\nU.K.\r\n");
    writeFile(folder + DataFiles::kItems, header(0));

    const AlertDefinitions defs = AlertDefinitions::load(folder);
    QCOMPARE(defs.count(), 0);
    QVERIFY(defs.ItemTypeList.isEmpty());
    QVERIFY(defs.LocalizationList.isEmpty());
    QVERIFY(!QFileInfo::exists(folder + DataFiles::kItems));
    QCOMPARE(readFile(folder + DataFiles::kKeywords), QByteArray("a\r\nb\r\nc\r\n"));
    QCOMPARE(readFile(folder + DataFiles::kLocalizations), QByteArray("U.S.A.\r\nU.K.\r\n"));
}

void TestStore::noDefinitionFiles()
{
    const QString folder = m_dir->path() + QLatin1Char('/');
    writeFile(folder + DataFiles::kItems, header(0));
    const AlertDefinitions defs = AlertDefinitions::load(folder);
    QCOMPARE(defs.count(), 0);
    QVERIFY(defs.isConsistent());
    QVERIFY(QFileInfo::exists(folder + DataFiles::kItems));
}

void TestStore::definitionsRoundTrip()
{
    // An empty keyword and the same definition twice are kept as they are.
    const QString folder = m_dir->path() + QLatin1Char('/');
    AlertDefinitions defs;
    defs.KeywordList = {"", "harry potter", "harry potter"};
    defs.ItemTypeList = {"Blended", "Books", "Books"};
    defs.LocalizationList = {"U.S.A.", "U.K.", "U.K."};
    defs.save(folder);
    QCOMPARE(readFile(folder + DataFiles::kKeywords), QByteArray("\r\nharry potter\r\nharry potter\r\n"));
    QCOMPARE(readFile(folder + DataFiles::kItemTypes), QByteArray("Blended\r\nBooks\r\nBooks\r\n"));
    QCOMPARE(readFile(folder + DataFiles::kLocalizations), QByteArray("U.S.A.\r\nU.K.\r\nU.K.\r\n"));
    const AlertDefinitions back = AlertDefinitions::load(folder);
    QCOMPARE(back.KeywordList, defs.KeywordList);
    QCOMPARE(back.ItemTypeList, defs.ItemTypeList);
    QCOMPARE(back.LocalizationList, defs.LocalizationList);
}

void TestStore::definitionsAreReplacedAsASet()
{
    // Unequal files would throw every alert away at the next start, so a
    // save that fails halfway must leave the whole old set.
    const QString folder = m_dir->path() + QLatin1Char('/');
    AlertDefinitions defs;
    defs.KeywordList = {"old"};
    defs.ItemTypeList = {"Books"};
    defs.LocalizationList = {"U.S.A."};
    defs.save(folder);

    defs.KeywordList.append("new");
    defs.ItemTypeList.append(QByteArray(8192, 'x')); // too long for the limit below
    defs.LocalizationList.append("U.K.");
    bool failed = false;
    try {
        const testsupport::FileSizeLimit limit(4096);
        defs.save(folder);
    } catch (const platform::IoError&) {
        failed = true;
    }
    QVERIFY(failed);
    QCOMPARE(readFile(folder + DataFiles::kKeywords), QByteArray("old\r\n"));
    QCOMPARE(readFile(folder + DataFiles::kItemTypes), QByteArray("Books\r\n"));
    QCOMPARE(readFile(folder + DataFiles::kLocalizations), QByteArray("U.S.A.\r\n"));
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
