// The program's own bookkeeping files: the products each alert brought and
// how each alert's checks went.

#include "quobex/store/AlertChecks.h"
#include "quobex/store/SeenItems.h"

#include "tests/support/Fixtures.h"
#include "tests/support/TempDataFolder.h"

#include <QTest>

using namespace quobex;

namespace {

// Keys with every character a field must carry through the file.
const AlertKey kOdd{QStringLiteral("Books"), QStringLiteral("tab\there \\ back\nline \u00e9\u4e2d"),
                    QStringLiteral("U.S.A.")};
const AlertKey kPlain{QStringLiteral("Top Sellers"), QStringLiteral("Books"), QStringLiteral("U.S.A")};

} // namespace

class TestRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void seenListsSurviveTheirFile();
    void seenListKeepsTheNewestSightings();
    void treeCountsAsSeen();
    void damagedFilesAreReadAsFarAsTheyGo_data();
    void damagedFilesAreReadAsFarAsTheyGo();
    void checksSurviveTheirFile();
    void checkTexts();
};

void TestRecords::seenListsSurviveTheirFile()
{
    SeenItems seen;
    seen.see(kOdd, QStringLiteral("A1"));
    seen.see(kOdd, QStringLiteral("A2"));
    seen.see(kPlain, QStringLiteral("B\t1"));
    QVERIFY(seen.isModified());
    testsupport::TempDataFolder home;
    home.makeDataFolder();
    const QString path = home.file(QStringLiteral("quobex_seen_items.dat"));
    seen.save(path);
    QVERIFY(!seen.isModified());

    const SeenItems read = SeenItems::load(path);
    QCOMPARE(read.alertCount(), 2);
    QCOMPARE(read.list(kOdd), (QStringList{QStringLiteral("A2"), QStringLiteral("A1")}));
    QVERIFY(read.contains(kPlain, QStringLiteral("B\t1")));
    QVERIFY(!read.contains(kPlain, QStringLiteral("A1")));
    QCOMPARE(read.serialize(), seen.serialize());

    SeenItems changed = read;
    QVERIFY(changed.forget(kOdd));
    QVERIFY(!changed.forget(kOdd));
    QCOMPARE(changed.alertCount(), 1);
    QVERIFY(!changed.contains(kOdd, QStringLiteral("A1")));
}

void TestRecords::seenListKeepsTheNewestSightings()
{
    SeenItems seen;
    for (int i = 1; i <= SeenItems::kPerAlert + 5; ++i)
        seen.see(kPlain, QString::number(i));
    QStringList list = seen.list(kPlain);
    QCOMPARE(list.size(), SeenItems::kPerAlert);
    QCOMPARE(list.first(), QString::number(SeenItems::kPerAlert + 5));
    QCOMPARE(list.last(), QStringLiteral("6"));
    QVERIFY(!seen.contains(kPlain, QStringLiteral("5")));
    // A product brought again is a new sighting: it stays while others go.
    seen.see(kPlain, QStringLiteral("6"));
    seen.see(kPlain, QStringLiteral("new"));
    list = seen.list(kPlain);
    QCOMPARE(list.size(), SeenItems::kPerAlert);
    QCOMPARE(list.mid(0, 2), (QStringList{QStringLiteral("new"), QStringLiteral("6")}));
    QVERIFY(!seen.contains(kPlain, QStringLiteral("7")));
    // A file cannot make a list longer.
    const SeenItems read = SeenItems::parse(seen.serialize() + "item\tone more\n");
    QCOMPARE(read.list(kPlain).size(), SeenItems::kPerAlert);
}

void TestRecords::treeCountsAsSeen()
{
    AlertTree tree;
    AlertNode* group = tree.AddChild(tree.root());
    group->data.ItemType = kPlain.group;
    AlertNode* alert = tree.AddChild(group);
    alert->data.Keyword = kPlain.keyword;
    alert->data.Localization = kPlain.localization;
    for (const char* asin : {"T3", "T2", "T1"})
        tree.AddChild(alert)->data.ASIN = QString::fromLatin1(asin);
    tree.AddChild(group)->data.Keyword = QStringLiteral("empty alert");

    SeenItems seen;
    seen.see(kPlain, QStringLiteral("T2"));
    seen.see(kPlain, QStringLiteral("S1"));
    QVERIFY(seen.absorb(tree));
    // Behind what the list holds, in tree order (newest first).
    QCOMPARE(seen.list(kPlain),
             (QStringList{QStringLiteral("S1"), QStringLiteral("T2"), QStringLiteral("T3"), QStringLiteral("T1")}));
    QCOMPARE(seen.alertCount(), 1);
    QVERIFY(!seen.absorb(tree));
}

void TestRecords::damagedFilesAreReadAsFarAsTheyGo_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("list");
    const QByteArray head = SeenItems::kHeader + '\n';
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("another format") << QByteArray("Quobex seen items 2\nalert\tA\tB\tC\nitem\tX\n") << QStringList();
    QTest::newRow("binary junk") << QByteArray("\x00\xff\x01junk", 7) << QStringList();
    QTest::newRow("items before any alert are passed over") << head + "item\tX\nalert\tA\tB\tC\nitem\tY\n"
                                                            << QStringList{QStringLiteral("Y")};
    QTest::newRow("lines it cannot read are passed over")
        << head + "alert\tA\tB\tC\nitem\nwhat\tever\nitem\tY\titem\n\r\nitem\tZ" << QStringList{QStringLiteral("Z")};
    QTest::newRow("CR LF lines") << head.chopped(1) + "\r\nalert\tA\tB\tC\r\nitem\tY\r\n"
                                 << QStringList{QStringLiteral("Y")};
    QTest::newRow("a dangling escape") << head + "alert\tA\tB\tC\nitem\tY\\" << QStringList{QStringLiteral("Y\\")};
}

void TestRecords::damagedFilesAreReadAsFarAsTheyGo()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, list);
    const SeenItems seen = SeenItems::parse(text);
    QCOMPARE(seen.list({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}), list);
    QVERIFY(!seen.isModified());
}

void TestRecords::checksSurviveTheirFile()
{
    const QDateTime t1(QDate(2026, 3, 1), QTime(10, 0, 0, 5), Qt::UTC);
    const QDateTime t2 = t1.addSecs(3600);
    AlertChecks checks;
    checks.recordGood(kOdd, t1);
    CheckFailure failure;
    failure.kind = CheckFailure::Kind::ServiceError;
    failure.message = QStringLiteral("bad\tvalue (AWS.InvalidParameterValue)");
    failure.subject = QStringLiteral("product B1");
    checks.recordFailure(kOdd, failure, t2);
    CheckFailure status;
    status.kind = CheckFailure::Kind::HttpStatus;
    status.httpStatus = 503;
    checks.recordFailure(kPlain, status, t1);
    checks.recordGood(kPlain, t2); // a good check after a failure: no mark
    checks.recordFetch(t2, 1);

    const AlertChecks read = AlertChecks::parse(checks.serialize());
    QCOMPARE(read.serialize(), checks.serialize());
    const AlertChecks::Record* odd = read.find(kOdd);
    QVERIFY(odd && odd->lastFailed);
    QCOMPARE(odd->lastGood, t1);
    QCOMPARE(odd->lastFailure, t2);
    QCOMPARE(odd->failure.kind, CheckFailure::Kind::ServiceError);
    QCOMPARE(odd->failure.message, failure.message);
    QCOMPARE(odd->failure.subject, failure.subject);
    QVERIFY(!read.lastCheckFailed(kPlain));
    QCOMPARE(read.find(kPlain)->failure.httpStatus, 503); // the last failure is still remembered
    QCOMPARE(read.lastFetchEnded(), t2);
    QCOMPARE(read.lastFetchFailures(), 1);

    // Nothing readable: no records, no fetch.
    const AlertChecks none = AlertChecks::parse("Quobex alert checks 0\nfetch\tx\t1\n");
    QVERIFY(!none.lastFetchEnded().isValid());
    QCOMPARE(none.find(kOdd), nullptr);
    QCOMPARE(AlertChecks::load(QStringLiteral("/nonexistent/quobex_alert_checks.dat")).serialize(),
             AlertChecks().serialize());
}

void TestRecords::checkTexts()
{
    const QDateTime at(QDate(2026, 3, 1), QTime(10, 0), Qt::UTC);
    using Kind = CheckFailure::Kind;
    const QList<QPair<CheckFailure, QString>> cases = {
        {{Kind::NoAnswer, 0, QStringLiteral("Connection refused"), {}},
         QStringLiteral("The store did not answer: Connection refused.")},
        {{Kind::HttpStatus, 500, QStringLiteral("HTTP error 500"), {}},
         QStringLiteral("The store answered with HTTP status 500.")},
        {{Kind::TimedOut, 0, QStringLiteral("The request timed out"), QStringLiteral("product B1")},
         QStringLiteral("The store did not answer in time for product B1: The request timed out.")},
        {{Kind::ServiceError, 0, QStringLiteral("bad (AWS.X)"), {}},
         QStringLiteral("The store's web service reported an error: bad (AWS.X).")},
        {{Kind::Unparseable, 0, {}, {}}, QStringLiteral("The store's reply could not be read.")},
    };
    for (const auto& [failure, text] : cases)
        QCOMPARE(failure.describe(), text);

    AlertChecks checks;
    QCOMPARE(checks.trayToolTip(), QStringLiteral("Quobex"));
    QCOMPARE(checks.toolTip(kPlain), QString());
    checks.recordFailure(kPlain, cases[1].first, at);
    QCOMPARE(checks.toolTip(kPlain), QStringLiteral("Last check failed (%1): The store answered with HTTP status 500.\n"
                                                    "No good check yet.")
                                         .arg(AlertChecks::showTime(at)));
    checks.recordGood(kPlain, at.addDays(1));
    QCOMPARE(checks.toolTip(kPlain), QString());
    checks.recordFailure(kPlain, cases[0].first, at.addDays(2));
    QVERIFY(
        checks.toolTip(kPlain).endsWith(QStringLiteral("\nLast good check: ") + AlertChecks::showTime(at.addDays(1))));
    checks.recordFetch(at, 0);
    QCOMPARE(checks.trayToolTip(),
             QStringLiteral("Quobex\nLast check ended %1\nEvery alert was checked.").arg(AlertChecks::showTime(at)));
    checks.recordFetch(at, 3);
    QVERIFY(checks.trayToolTip().endsWith(QStringLiteral("\n3 alerts failed.")));
    QVERIFY(checks.forget(kPlain));
    QCOMPARE(checks.toolTip(kPlain), QString());
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
