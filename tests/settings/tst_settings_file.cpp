// Reading and writing the settings file.

#include "quobex/settings/SettingsFile.h"
#include "tests/support/Fixtures.h"
#include "tests/support/TempDataFolder.h"

#include <QTemporaryDir>
#include <QTest>

using quobex::SettingsFile;
using testsupport::readFile;
using testsupport::writeFile;

class TestSettingsFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void booleanTexts_data();
    void booleanTexts();
    void integerTexts_data();
    void integerTexts();
    void missingFileOrKeyGivesDefaults();
    void firstWritesInKeyOrder();
    void rewriteKeepsOtherContentAndOrder();
    void everyReadSeesTheFileAsItIsNow();
    void unreadableFileCountsAsMissing();
    void writeNeverLeavesAFileItCannotRead_data();
    void writeNeverLeavesAFileItCannotRead();
    void livesInTheAppDataFolder();
};

void TestSettingsFile::booleanTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("value");
    QTest::newRow("TRUE") << QStringLiteral("TRUE") << true;
    QTest::newRow("true") << QStringLiteral("true") << true;
    QTest::newRow("Yes") << QStringLiteral("Yes") << true;
    QTest::newRow("y") << QStringLiteral("y") << true;
    QTest::newRow("FALSE") << QStringLiteral("FALSE") << false;
    QTest::newRow("no") << QStringLiteral("no") << false;
    QTest::newRow("N") << QStringLiteral("N") << false;
    QTest::newRow("1") << QStringLiteral("1") << true;
    QTest::newRow("-2") << QStringLiteral("-2") << true;
    QTest::newRow("0") << QStringLiteral("0") << false;
    QTest::newRow("another word") << QStringLiteral("maybe") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestSettingsFile::booleanTexts()
{
    QFETCH(QString, text);
    QFETCH(bool, value);
    QCOMPARE(SettingsFile::parseBool(text), value);
}

void TestSettingsFile::integerTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("24") << QStringLiteral("24") << 24;
    QTest::newRow("0") << QStringLiteral("0") << 0;
    QTest::newRow("negative") << QStringLiteral("-7") << -7;
    QTest::newRow("word") << QStringLiteral("twenty") << -1;
    QTest::newRow("decimal") << QStringLiteral("2.5") << -1;
    QTest::newRow("empty") << QString() << -1;
    QTest::newRow("too big") << QStringLiteral("99999999999") << -1;
}

void TestSettingsFile::integerTexts()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(SettingsFile::parseInt(text), value);
}

void TestSettingsFile::missingFileOrKeyGivesDefaults()
{
    QTemporaryDir dir;
    SettingsFile file(dir.filePath(QStringLiteral("QuobexSettings.xml")));
    QCOMPARE(file.readBool(QStringLiteral("PlaySound"), true), true);
    QCOMPARE(file.readInt(QStringLiteral("KeepArticles"), 20), 20);
    file.writeInt(QStringLiteral("KeepArticles"), 30);
    QCOMPARE(file.readInt(QStringLiteral("RefreshInterval"), 24), 24);
    QCOMPARE(file.readInt(QStringLiteral("KeepArticles"), 20), 30);
}

void TestSettingsFile::firstWritesInKeyOrder()
{
    QTemporaryDir dir;
    // The folder is made when it is missing.
    SettingsFile file(dir.filePath(QStringLiteral("missing/QuobexSettings.xml")));
    file.writeBool(QStringLiteral("PlaySound"), true);
    file.writeBool(QStringLiteral("ShowBaloon"), false);
    file.writeInt(QStringLiteral("KeepArticles"), 20);
    QCOMPARE(readFile(file.path()), QByteArray("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
                                               "<Configuration>\n"
                                               "  <PlaySound>TRUE</PlaySound>\n"
                                               "  <ShowBaloon>FALSE</ShowBaloon>\n"
                                               "  <KeepArticles>20</KeepArticles>\n"
                                               "</Configuration>\n"));
}

void TestSettingsFile::rewriteKeepsOtherContentAndOrder()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QuobexSettings.xml"));
    writeFile(path, "<?xml version=\"1.0\"?>\n<Configuration>\n<KeepArticles>7</KeepArticles>\n"
                    "<Window Left=\"10\"><Top>5</Top></Window>\n<PlaySound>no</PlaySound>\n"
                    "<Note>caf\xc3\xa9</Note></Configuration>");
    SettingsFile file(path);
    file.writeBool(QStringLiteral("PlaySound"), true);
    file.writeInt(QStringLiteral("RefreshInterval"), 12);
    QCOMPARE(readFile(path), QByteArray("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
                                        "<Configuration>\n"
                                        "  <KeepArticles>7</KeepArticles>\n"
                                        "  <Window Left=\"10\">\n"
                                        "    <Top>5</Top>\n"
                                        "  </Window>\n"
                                        "  <PlaySound>TRUE</PlaySound>\n"
                                        "  <Note>caf\xe9</Note>\n"
                                        "  <RefreshInterval>12</RefreshInterval>\n"
                                        "</Configuration>\n"));
    // And it reads back in its own declared encoding.
    QCOMPARE(file.read(QStringLiteral("Note")), std::optional<QString>(QStringLiteral("caf\u00e9")));
}

void TestSettingsFile::everyReadSeesTheFileAsItIsNow()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QuobexSettings.xml"));
    SettingsFile file(path);
    file.writeInt(QStringLiteral("KeepArticles"), 30);
    writeFile(path, "<Configuration><KeepArticles>45</KeepArticles></Configuration>");
    QCOMPARE(file.readInt(QStringLiteral("KeepArticles"), 20), 45);
    // A write starts from the file's current content too.
    writeFile(path, "<Configuration><Extra>1</Extra></Configuration>");
    file.writeInt(QStringLiteral("KeepArticles"), 10);
    QCOMPARE(file.read(QStringLiteral("Extra")), std::optional<QString>(QStringLiteral("1")));
}

void TestSettingsFile::unreadableFileCountsAsMissing()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QuobexSettings.xml"));
    writeFile(path, "<Configuration><KeepArticles>45</Keep");
    SettingsFile file(path);
    QCOMPARE(file.readInt(QStringLiteral("KeepArticles"), 20), 20);
    writeFile(path, "<Other><KeepArticles>45</KeepArticles></Other>");
    QCOMPARE(file.readInt(QStringLiteral("KeepArticles"), 20), 20);
    writeFile(path, "<Configuration><KeepArticles><x/></KeepArticles></Configuration>");
    QCOMPARE(file.readInt(QStringLiteral("KeepArticles"), 20), 20);
}

void TestSettingsFile::writeNeverLeavesAFileItCannotRead_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("other"); // a key the write must not change
    QTest::addColumn<QString>("value"); // its value, before and after; null: none
    // Qt's reader takes a processing instruction named with a control byte at
    // the very start of a file, but not once our declaration stands before it.
    QTest::newRow("odd instruction first")
        << QByteArray("<?xmkeis\x1bvers?>\n<Configuration><PlaySound>no</PlaySound></Configuration>\n")
        << QStringLiteral("PlaySound") << QStringLiteral("no");
    QTest::newRow("odd instruction, no declaration, no root content")
        << QByteArray("<?xmkeis\x1bvers?>\n<Configuration>s>\n</Configuration>\n") << QStringLiteral("PlaySound")
        << QString();
    // Read in the encoding the file declares, written back in ours.
    QTest::newRow("text outside ISO-8859-1")
        << QByteArray("<?xml version=\"1.0\" encoding=\"iso-8859-2\"?><Configuration><Note>\xc8"
                      "esk\xfd</Note></Configuration>")
        << QStringLiteral("Note") << QStringLiteral("\u010cesk\u00fd");
}

void TestSettingsFile::writeNeverLeavesAFileItCannotRead()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, other);
    QFETCH(QString, value);
    const std::optional<QString> expected = value.isNull() ? std::nullopt : std::optional<QString>(value);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QuobexSettings.xml"));
    writeFile(path, content);
    SettingsFile file(path);
    QCOMPARE(file.read(other), expected);
    file.writeInt(QStringLiteral("KeepArticles"), 7);
    QCOMPARE(file.readInt(QStringLiteral("KeepArticles"), 20), 7);
    QCOMPARE(file.read(other), expected);
    file.writeInt(QStringLiteral("RefreshInterval"), 12);
    QCOMPARE(file.readInt(QStringLiteral("KeepArticles"), 20), 7);
    QCOMPARE(file.readInt(QStringLiteral("RefreshInterval"), 24), 12);
    QCOMPARE(file.read(other), expected);
}

void TestSettingsFile::livesInTheAppDataFolder()
{
    testsupport::TempDataFolder home;
    QCOMPARE(SettingsFile::defaultPath(), home.appData() + QStringLiteral("/QuobexSettings.xml"));
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settings_file.moc"
