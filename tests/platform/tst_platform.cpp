// Text, files, folders, waits, hand-overs and XML of the platform layer.

#include "platform/CodePage.h"
#include "platform/Errors.h"
#include "platform/SaveFile.h"
#include "platform/SpecialFolders.h"
#include "platform/Synchronize.h"
#include "platform/TextList.h"
#include "platform/UrlParts.h"
#include "platform/Wait.h"
#include "platform/XmlDocument.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Fixtures.h"
#include "tests/support/TempDataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>

using namespace platform;
using testsupport::readFile;
using testsupport::writeFile;

using Lines = QList<QByteArray>;

class TestPlatform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void codePageRoundTripsEveryByte();
    void codePageMapsCharacters_data();
    void codePageMapsCharacters();

    void textListParses_data();
    void textListParses();
    void textListWritesCrLfAfterEveryLine();
    void textListRoundTripsThroughAFile();

    void saveFileReplacesWhole();
    void saveFileKeepsOldFileWhenWriteFails();
    void saveFileAbandonedKeepsOldFile();
    void saveFileReportsUnwritablePlace();

    void specialFoldersFollowXdg();

    void waitWhileKeepsEventsFlowing();
    void synchronizeRunsOnMainThread();

    void xmlRejectsEmptyAndMalformed_data();
    void xmlRejectsEmptyAndMalformed();
    void xmlChildLookupAppendsMissing();
    void xmlTextRules();
    void xmlWalksChildNodesWithDomNames();
    void xmlReadsFixtureReply();

    void urlSplitKeepsBytes_data();
    void urlSplitKeepsBytes();
    void redirectLocationResolves_data();
    void redirectLocationResolves();
    void redirectFollowedOnlyWhereSafe_data();
    void redirectFollowedOnlyWhereSafe();
};

void TestPlatform::codePageRoundTripsEveryByte()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QCOMPARE(CodePage::fromUnicode(CodePage::toUnicode(all)), all);
}

void TestPlatform::codePageMapsCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << QStringLiteral("harry potter") << QByteArray("harry potter");
    QTest::newRow("latin-1") << QStringLiteral("caf\u00e9 \u00a3") << QByteArray("caf\xe9 \xa3");
    QTest::newRow("euro and quotes") << QStringLiteral("\u20ac\u201c\u2014") << QByteArray("\x80\x93\x97");
    QTest::newRow("not in the code page") << QStringLiteral("\u0101\u4e2d") << QByteArray("??");
    QTest::newRow("beyond the BMP is one character") << QStringLiteral("a\U0001F600b") << QByteArray("a?b");
}

void TestPlatform::codePageMapsCharacters()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(CodePage::fromUnicode(text), bytes);
    if (!bytes.contains('?'))
        QCOMPARE(CodePage::toUnicode(bytes), text);
}

void TestPlatform::textListParses_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Lines>("lines");
    QTest::newRow("empty file") << QByteArray() << Lines{};
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << Lines{"a", "b"};
    QTest::newRow("lone lf and cr") << QByteArray("a\nb\rc") << Lines{"a", "b", "c"};
    QTest::newRow("last line without break") << QByteArray("a\r\nb") << Lines{"a", "b"};
    QTest::newRow("empty lines are entries") << QByteArray("a\r\n\r\n\r\nb\r\n") << Lines{"a", "", "", "b"};
    QTest::newRow("one empty entry") << QByteArray("\r\n") << Lines{""};
    QTest::newRow("cr then crlf") << QByteArray("a\r\r\n") << Lines{"a", ""};
    QTest::newRow("nul ends the text") << QByteArray("a\r\nb\0c\r\nd\r\n", 10) << Lines{"a", "b"};
    QTest::newRow("bytes kept") << QByteArray("caf\xe9\r\n") << Lines{"caf\xe9"};
}

void TestPlatform::textListParses()
{
    QFETCH(QByteArray, text);
    QFETCH(Lines, lines);
    QCOMPARE(TextList::parse(text), lines);
}

void TestPlatform::textListWritesCrLfAfterEveryLine()
{
    QCOMPARE(TextList::join({}), QByteArray());
    QCOMPARE(TextList::join({"a", "", "b"}), QByteArray("a\r\n\r\nb\r\n"));
    QCOMPARE(TextList::join({""}), QByteArray("\r\n"));
}

void TestPlatform::textListRoundTripsThroughAFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.dat"));
    const Lines lines{"", "C++ books", "", "caf\xe9", ""};
    TextList::save(path, lines);
    QCOMPARE(TextList::load(path), lines);
    TextList::save(path, {});
    QCOMPARE(QFileInfo(path).size(), 0);
    QCOMPARE(TextList::load(path), Lines{});
    QVERIFY_THROWS_EXCEPTION(IoError, TextList::load(dir.filePath(QStringLiteral("missing.dat"))));
}

void TestPlatform::saveFileReplacesWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.dat"));
    writeFile(path, "old content that is longer");
    SaveFile::write(path, "new");
    QCOMPARE(readFile(path), QByteArray("new"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("data.dat")});
}

void TestPlatform::saveFileKeepsOldFileWhenWriteFails()
{
    // A real failed write: the process may not write files beyond 4 KiB.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.dat"));
    writeFile(path, "precious");
    int failures = 0;
    {
        const testsupport::FileSizeLimit limit(4096);
        // Larger and smaller than any buffer a file device keeps.
        for (const int size : {64 * 1024, 4097}) {
            try {
                SaveFile::write(path, QByteArray(size, 'x'));
            } catch (const IoError&) {
                ++failures;
            }
        }
    }
    QCOMPARE(failures, 2);
    QCOMPARE(readFile(path), QByteArray("precious"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("data.dat")});
}

void TestPlatform::saveFileAbandonedKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.dat"));
    writeFile(path, "precious");
    {
        SaveFile file(path);
        file.write("half of it");
        // no commit: an exception between here and the commit abandons it
    }
    QCOMPARE(readFile(path), QByteArray("precious"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("data.dat")});
}

void TestPlatform::saveFileReportsUnwritablePlace()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("file")), "x");
    QVERIFY_THROWS_EXCEPTION(IoError, SaveFile::write(dir.filePath(QStringLiteral("file/below.dat")), "y"));
    QVERIFY_THROWS_EXCEPTION(IoError, SaveFile::write(dir.filePath(QStringLiteral("no/such/dir.dat")), "y"));
}

void TestPlatform::specialFoldersFollowXdg()
{
    testsupport::TempDataFolder home;
    QCOMPARE(SpecialFolderPath(kAppDataFolder), home.appData());
    QCOMPARE(SpecialFolderPath(kInternetCacheFolder), home.cache());
    QCOMPARE(SpecialFolderPath(5), QString());
    qputenv("XDG_CONFIG_HOME", (home.appData() + QStringLiteral("/")).toLocal8Bit());
    QCOMPARE(SpecialFolderPath(kAppDataFolder), home.appData()); // no trailing separator

    // A fresh account without its XDG folders: they are made, for the owner alone.
    const QString fresh = home.cache() + QStringLiteral("/fresh/config");
    qputenv("XDG_CONFIG_HOME", fresh.toLocal8Bit());
    QCOMPARE(SpecialFolderPath(kAppDataFolder), fresh);
    QVERIFY(QFileInfo(fresh).isDir());
    QCOMPARE(QFile::permissions(fresh) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
}

void TestPlatform::waitWhileKeepsEventsFlowing()
{
    bool waiting = true;
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        if (++ticks == 5)
            waiting = false;
    });
    ticker.start(5);
    QVERIFY(WaitWhile([&] { return waiting; }, 20));
    QCOMPARE(ticks >= 5, true);
    QVERIFY(WaitWhile([] { return false; }, 1000)); // returns at once
}

void TestPlatform::synchronizeRunsOnMainThread()
{
    QThread* main = QThread::currentThread();
    QVERIFY(IsMainThread());

    QThread* ranOn = nullptr;
    Synchronize([&] { ranOn = QThread::currentThread(); });
    QCOMPARE(ranOn, main); // inline

    bool rethrown = false;
    bool interrupted = false;
    std::atomic<bool> ended{false};
    std::unique_ptr<QThread> worker(QThread::create([&] {
        Synchronize([&] { ranOn = QThread::currentThread(); });
        try {
            Synchronize([] { throw IoError("disk gone"); });
        } catch (const IoError& e) {
            rethrown = QByteArray(e.what()) == "disk gone";
        }
        QThread::currentThread()->requestInterruption();
        try {
            Synchronize([] {});
        } catch (const Interrupted&) {
            interrupted = true;
        }
        ended.store(true, std::memory_order_release);
    }));
    ranOn = nullptr;
    worker->start();
    QVERIFY(WaitWhile([&] { return !worker->isFinished(); }, 5));
    // What the worker wrote is read after it says so (Qt's own notice of the
    // end is not visible to ThreadSanitizer).
    QVERIFY(ended.load(std::memory_order_acquire));
    QCOMPARE(ranOn, main);
    QVERIFY(rethrown);
    QVERIFY(interrupted);
}

void TestPlatform::xmlRejectsEmptyAndMalformed_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("html error page") << QByteArray("<html><body>502 Bad Gateway</body>");
    QTest::newRow("truncated reply") << testsupport::fixture(QStringLiteral("replies/ItemSearch-reply.xml")).left(900);
    QTest::newRow("text") << QByteArray("not xml");
}

void TestPlatform::xmlRejectsEmptyAndMalformed()
{
    QFETCH(QByteArray, bytes);
    XmlDocument doc;
    doc.load("<ok/>");
    QVERIFY_THROWS_EXCEPTION(XmlError, doc.load(bytes));
    QVERIFY(doc.documentElement().isNull()); // the previous content is gone
}

void TestPlatform::xmlChildLookupAppendsMissing()
{
    XmlDocument doc;
    doc.load("<Item><ASIN>1</ASIN><Title>first</Title><Title>second</Title></Item>");
    QDomElement item = doc.documentElement();
    QCOMPARE(Xml::text(Xml::child(item, QStringLiteral("Title"))), QStringLiteral("first"));
    QDomElement price = Xml::child(Xml::child(item, QStringLiteral("ListPrice")), QStringLiteral("FormattedPrice"));
    QCOMPARE(Xml::text(price), QString());
    // The added elements are now part of the reply, at the end.
    QCOMPARE(item.lastChild().nodeName(), QStringLiteral("ListPrice"));
    QCOMPARE(item.lastChild().firstChild().nodeName(), QStringLiteral("FormattedPrice"));
    QCOMPARE(item.childNodes().count(), 4);
    // Names are compared exactly.
    Xml::child(item, QStringLiteral("asin"));
    QCOMPARE(item.childNodes().count(), 5);
}

void TestPlatform::xmlTextRules()
{
    XmlDocument doc;
    doc.load("<r><empty/><t>a &amp; b &lt;i&gt;</t><c><![CDATA[<b>bold</b>]]></c><e><x>1</x></e>"
             "<n Number=\"2\" Empty=\"\">  padded  </n></r>");
    const QDomElement r = doc.documentElement();
    QCOMPARE(Xml::text(r.firstChildElement(QStringLiteral("empty"))), QString());
    QCOMPARE(Xml::text(r.firstChildElement(QStringLiteral("t"))), QStringLiteral("a & b <i>"));
    QCOMPARE(Xml::text(r.firstChildElement(QStringLiteral("c"))), QStringLiteral("<b>bold</b>"));
    QCOMPARE(Xml::text(r.firstChildElement(QStringLiteral("n"))), QStringLiteral("  padded  "));
    QVERIFY_THROWS_EXCEPTION(XmlError, Xml::text(r.firstChildElement(QStringLiteral("e"))));

    QVERIFY(Xml::isTextOnly(r.firstChildElement(QStringLiteral("t"))));
    QVERIFY(Xml::isTextOnly(r.firstChildElement(QStringLiteral("c"))));
    QVERIFY(!Xml::isTextOnly(r.firstChildElement(QStringLiteral("empty"))));
    QVERIFY(!Xml::isTextOnly(r.firstChildElement(QStringLiteral("e"))));

    const QDomElement n = r.firstChildElement(QStringLiteral("n"));
    QCOMPARE(Xml::attribute(n, QStringLiteral("Number")), QStringLiteral("2"));
    QVERIFY(!Xml::attribute(n, QStringLiteral("Empty")).isNull());
    QVERIFY(Xml::attribute(n, QStringLiteral("Empty")).isEmpty());
    QVERIFY(Xml::attribute(n, QStringLiteral("Missing")).isNull());
}

void TestPlatform::xmlWalksChildNodesWithDomNames()
{
    XmlDocument doc;
    doc.load("<r>\n  <a>1</a>\n  lead<![CDATA[x]]><b/>\n</r>");
    QStringList names;
    for (QDomNode n = doc.documentElement().firstChild(); !n.isNull(); n = n.nextSibling())
        names << n.nodeName();
    // Pretty-printing white space is gone; real text stays, by its DOM name.
    QCOMPARE(names, (QStringList{QStringLiteral("a"), QStringLiteral("#text"), QStringLiteral("#cdata-section"),
                                 QStringLiteral("b")}));
}

void TestPlatform::xmlReadsFixtureReply()
{
    XmlDocument doc;
    doc.load(testsupport::fixture(QStringLiteral("replies/ItemSearch-reply.xml")));
    const QDomElement root = doc.documentElement();
    QCOMPARE(root.tagName(), QStringLiteral("ItemSearchResponse"));
    const QDomElement items = Xml::child(root, QStringLiteral("Items"));
    QCOMPARE(items.firstChild().nodeName(), QStringLiteral("Request"));
    const QDomElement item = items.firstChildElement(QStringLiteral("Item"));
    QCOMPARE(Xml::text(Xml::child(item, QStringLiteral("ASIN"))), QStringLiteral("0000000101"));
    QCOMPARE(Xml::text(Xml::child(Xml::child(item, QStringLiteral("EditorialReviews")).firstChildElement(),
                                  QStringLiteral("Content"))),
             QStringLiteral("A <i>practical</i> introduction."));
}

void TestPlatform::urlSplitKeepsBytes_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("path and query") << QByteArray("http://h:8080/a%2Fb?x=1#frag") << true << QByteArray("http://h:8080")
                                    << QByteArray("/a%2Fb?x=1");
    QTest::newRow("no path") << QByteArray("HTTPS://user@h") << true << QByteArray("HTTPS://user@h") << QByteArray();
    QTest::newRow("query without path") << QByteArray("http://h?q") << true << QByteArray("http://h")
                                        << QByteArray("?q");
    QTest::newRow("other scheme") << QByteArray("ftp://h/x") << false << QByteArray() << QByteArray();
    QTest::newRow("no scheme") << QByteArray("://h/x") << false << QByteArray() << QByteArray();
    QTest::newRow("no host") << QByteArray("http://user@:80/x") << false << QByteArray() << QByteArray();
    QTest::newRow("line break") << QByteArray("http://h/x\r\nX-Evil: 1") << false << QByteArray() << QByteArray();
    QTest::newRow("delete byte") << QByteArray("http://h/\x7f") << false << QByteArray() << QByteArray();
}

void TestPlatform::urlSplitKeepsBytes()
{
    QFETCH(QByteArray, url);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, origin);
    QFETCH(QByteArray, target);
    const std::optional<urlparts::Address> address = urlparts::splitUrl(url);
    QCOMPARE(address.has_value(), accepted);
    if (address) {
        QCOMPARE(address->origin, origin);
        QCOMPARE(address->target, target);
    }
}

void TestPlatform::redirectLocationResolves_data()
{
    QTest::addColumn<QByteArray>("base");
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<QByteArray>("resolved");
    const QByteArray base = "http://h:1/dir/page?q=1";
    QTest::newRow("absolute") << base << QByteArray("https://other/x#f") << QByteArray("https://other/x");
    QTest::newRow("scheme-relative") << base << QByteArray("//other/x") << QByteArray("http://other/x");
    QTest::newRow("root-relative") << base << QByteArray("/y?z") << QByteArray("http://h:1/y?z");
    QTest::newRow("relative") << base << QByteArray("next") << QByteArray("http://h:1/dir/next");
    QTest::newRow("query only") << base << QByteArray("?r=2") << QByteArray("http://h:1/dir/page?r=2");
    QTest::newRow("empty") << base << QByteArray() << QByteArray("http://h:1/dir/page");
    QTest::newRow("relative from no path") << QByteArray("http://h") << QByteArray("a") << QByteArray("http://h/a");
    QTest::newRow("colon in path is not a scheme") << base << QByteArray("a/b:c") << QByteArray("http://h:1/dir/a/b:c");
    QTest::newRow("escapes kept") << base << QByteArray("%2e%2E/x") << QByteArray("http://h:1/dir/%2e%2E/x");
}

void TestPlatform::redirectLocationResolves()
{
    QFETCH(QByteArray, base);
    QFETCH(QByteArray, location);
    QFETCH(QByteArray, resolved);
    const std::optional<urlparts::Address> address = urlparts::splitUrl(base);
    QVERIFY(address);
    QCOMPARE(urlparts::resolveLocation(*address, location), resolved);
}

void TestPlatform::redirectFollowedOnlyWhereSafe_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<bool>("followed");
    QTest::newRow("http to http") << QByteArray("http://h/a") << QByteArray("http://o/b") << true;
    QTest::newRow("http to https") << QByteArray("http://h/a") << QByteArray("https://o/b") << true;
    QTest::newRow("https to https") << QByteArray("https://h/a") << QByteArray("HTTPS://o/b") << true;
    QTest::newRow("https to relative") << QByteArray("https://h/a") << QByteArray("/b") << true;
    QTest::newRow("https to scheme-relative") << QByteArray("https://h/a") << QByteArray("//o/b") << true;
    QTest::newRow("https to http") << QByteArray("https://h/a") << QByteArray("http://o/b") << false;
    QTest::newRow("https to http, upper case") << QByteArray("https://h/a") << QByteArray("HTTP://h/a") << false;
    QTest::newRow("to another scheme") << QByteArray("http://h/a") << QByteArray("file:///etc/passwd") << false;
}

void TestPlatform::redirectFollowedOnlyWhereSafe()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, location);
    QFETCH(bool, followed);
    const std::optional<urlparts::Address> address = urlparts::splitUrl(from);
    QVERIFY(address);
    QCOMPARE(urlparts::mayFollow(*address, urlparts::splitUrl(urlparts::resolveLocation(*address, location))),
             followed);
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
