// The data folder and the version-marker rule.

#include "platform/SpecialFolders.h"
#include "quobex/shell/DataFolder.h"
#include "tests/support/Fixtures.h"
#include "tests/support/TempDataFolder.h"

#include <QFileInfo>
#include <QTest>

using namespace quobex;
using testsupport::readFile;
using testsupport::writeFile;

class TestDataFolder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pathsFollowTheAppDataFolder();
    void createsOnlyTheLastLevel();
    void markerRule_data();
    void markerRule();
};

void TestDataFolder::pathsFollowTheAppDataFolder()
{
    testsupport::TempDataFolder home;
    QCOMPARE(DataFolder::path(), home.dataFolder());
    QCOMPARE(DataFolder::pathWithoutSeparator() + QLatin1Char('/'), home.dataFolder());
    QCOMPARE(DataFolder::file(QStringLiteral("x.dat")), home.file(QStringLiteral("x.dat")));
}

void TestDataFolder::createsOnlyTheLastLevel()
{
    testsupport::TempDataFolder home;
    QVERIFY(platform::EnsureFolder(home.dataFolder()));
    QVERIFY(QFileInfo(home.dataFolder()).isDir());
    QVERIFY(platform::EnsureFolder(home.dataFolder())); // already there
    QVERIFY(!platform::EnsureFolder(home.root() + QStringLiteral("/a/b/Quobex/")));
    home.makeUnusable();
    QVERIFY(!platform::EnsureFolder(DataFolder::path()));
}

void TestDataFolder::markerRule_data()
{
    QTest::addColumn<bool>("hasMarker");
    QTest::addColumn<QByteArray>("marker");
    QTest::addColumn<bool>("itemsKept");
    QTest::addColumn<QByteArray>("markerAfter");
    QTest::newRow("no marker: old items file goes") << false << QByteArray() << false << QByteArray("1.0.8.49");
    QTest::newRow("marker of this version") << true << QByteArray("1.0.8.49") << true << QByteArray("1.0.8.49");
    QTest::newRow("marker with any text") << true << QByteArray("0.9 beta\r\n") << true << QByteArray("0.9 beta\r\n");
}

void TestDataFolder::markerRule()
{
    QFETCH(bool, hasMarker);
    QFETCH(QByteArray, marker);
    QFETCH(bool, itemsKept);
    QFETCH(QByteArray, markerAfter);
    testsupport::TempDataFolder home;
    home.makeDataFolder();
    const QString items = home.file(QStringLiteral("quobex_amazon_items.dat"));
    const QString markerFile = home.file(QStringLiteral("quobex_version.dat"));
    writeFile(items, "items");
    writeFile(home.file(QStringLiteral("quobex_keyword_config.dat")), "harry potter\r\n");
    if (hasMarker)
        writeFile(markerFile, marker);

    DataFolder::applyVersionMarker(home.dataFolder(), "1.0.8.49");
    QCOMPARE(QFileInfo::exists(items), itemsKept);
    QCOMPARE(readFile(markerFile), markerAfter);
    QVERIFY(QFileInfo::exists(home.file(QStringLiteral("quobex_keyword_config.dat"))));
}

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_data_folder.moc"
