// Updater's progress texts and its reading and checking of signatures.

#include "tests/updater/TestKey.h"
#include "updater/Minisign.h"
#include "updater/ProgressDisplay.h"

#include <QBuffer>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace Minisign = updater::Minisign;
namespace ProgressDisplay = updater::ProgressDisplay;
using testsupport::TestKey;

namespace {

bool verifies(const QByteArray& keyLine, const QByteArray& signatureFile, const QByteArray& data, QString* why)
{
    const auto key = Minisign::ReadPublicKey(keyLine, why);
    if (!key)
        return false;
    const auto signature = Minisign::ReadSignature(signatureFile, why);
    if (!signature)
        return false;
    QByteArray copy = data;
    QBuffer file(&copy);
    file.open(QIODevice::ReadOnly);
    return Minisign::Verify(*key, *signature, file, why);
}

QByteArray lineOf(const QByteArray& file, int n)
{
    return file.split('\n').value(n);
}

QByteArray withLine(const QByteArray& file, int n, const QByteArray& line)
{
    QList<QByteArray> lines = file.split('\n');
    lines[n] = line;
    return lines.join('\n');
}

} // namespace

class TestUpdaterCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sizeText();
    void progress_data();
    void progress();
    void malformedSignatureFiles_data();
    void malformedSignatureFiles();
    void signatures_data();
    void signatures();
    void filesSignedByMinisignVerify_data();
    void filesSignedByMinisignVerify();
};

void TestUpdaterCore::sizeText()
{
    QCOMPARE(ProgressDisplay::SizeText(1048576), QStringLiteral("Downloading 1048576 bytes"));
    QCOMPARE(ProgressDisplay::SizeText(0), QStringLiteral("Downloading 0 bytes"));
}

void TestUpdaterCore::progress_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("elapsed");
    QTest::addColumn<QString>("remaining"); // empty: keeps its last text
    QTest::addColumn<QString>("speed");
    const QString c = QStringLiteral("C");
    QTest::newRow("half of 1 MB in 2 s") << qint64(1048576) << qint64(524288) << qint64(2000) << c << "2 seconds"
                                         << "2 seconds"
                                         << "256 KB/s";
    QTest::newRow("just under 3 s") << qint64(1048576) << qint64(524288) << qint64(2999) << c << "2 seconds"
                                    << "2 seconds"
                                    << "256 KB/s";
    QTest::newRow("first second") << qint64(1048576) << qint64(1024) << qint64(300) << c << "1 seconds"
                                  << "1023 seconds"
                                  << "1 KB/s";
    QTest::newRow("at once") << qint64(1048576) << qint64(1024) << qint64(0) << c << "1 seconds"
                             << "1023 seconds"
                             << "1 KB/s";
    QTest::newRow("cut, not rounded") << qint64(1 << 20) << qint64(12642) << qint64(1000) << c << "1 seconds"
                                      << "82 seconds"
                                      << "12.34 KB/s"; // 12.3457 KB/s
    QTest::newRow("one decimal") << qint64(1 << 20) << qint64(12800) << qint64(1000) << c << "1 seconds"
                                 << "81 seconds"
                                 << "12.5 KB/s";
    QTest::newRow("whole") << qint64(1 << 20) << qint64(40960) << qint64(1000) << c << "1 seconds"
                           << "25 seconds"
                           << "40 KB/s";
    QTest::newRow("locale's separator") << qint64(1 << 20) << qint64(12800) << qint64(1000) << "de_DE"
                                        << "1 seconds"
                                        << "81 seconds"
                                        << "12,5 KB/s";
    QTest::newRow("no grouping") << qint64(1) << qint64(1234567) * 1024 << qint64(1000) << "en_US"
                                 << "1 seconds"
                                 << "-1 seconds"
                                 << "1234567 KB/s";
    QTest::newRow("tie to even, down") << qint64(4608 - 1024) << qint64(1024) << qint64(1000) << c << "1 seconds"
                                       << "2 seconds"
                                       << "1 KB/s"; // 2.5 s
    QTest::newRow("tie to even, up") << qint64(4608) << qint64(1024) << qint64(1000) << c << "1 seconds"
                                     << "4 seconds"
                                     << "1 KB/s"; // 3.5 s
    QTest::newRow("total 0") << qint64(0) << qint64(2048) << qint64(1000) << c << "1 seconds"
                             << "-1 seconds"
                             << "2 KB/s";
    QTest::newRow("nothing yet") << qint64(1 << 20) << qint64(0) << qint64(5000) << c << "5 seconds"
                                 << ""
                                 << "0 KB/s";
    QTest::newRow("beyond a day") << qint64(1) << qint64(1) << qint64(90000000) << c << "90000 seconds"
                                  << "0 seconds"
                                  << "0 KB/s";
    QTest::newRow("remaining beyond 32 bits") << (qint64(1) << 62) << qint64(1) << qint64(1000) << c << "1 seconds"
                                              << "2147483647 seconds"
                                              << "0 KB/s";
}

void TestUpdaterCore::progress()
{
    QFETCH(qint64, total);
    QFETCH(qint64, count);
    QFETCH(qint64, elapsedMs);
    QFETCH(QString, locale);
    QFETCH(QString, elapsed);
    QFETCH(QString, remaining);
    QFETCH(QString, speed);
    const ProgressDisplay::Texts texts = ProgressDisplay::Compute(total, count, elapsedMs, QLocale(locale));
    QCOMPARE(texts.elapsed, elapsed);
    QCOMPARE(texts.remaining.value_or(QString()), remaining);
    QCOMPARE(texts.speed, speed);
}

void TestUpdaterCore::malformedSignatureFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    const TestKey key;
    const QByteArray good = key.signatureFile("installer");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("three lines") << good.left(good.lastIndexOf('\n', good.size() - 2));
    QTest::newRow("five lines") << good + "more\n";
    QTest::newRow("no untrusted comment") << withLine(good, 0, "comment: x");
    QTest::newRow("signature not base64") << withLine(good, 1, "!!!!" + lineOf(good, 1).mid(4));
    QTest::newRow("signature short") << withLine(good, 1,
                                                 QByteArray::fromBase64(lineOf(good, 1)).chopped(1).toBase64());
    QTest::newRow("unknown algorithm") << withLine(good, 1,
                                                   "Xx" + QByteArray::fromBase64(lineOf(good, 1)).mid(2).toBase64());
    QTest::newRow("no trusted comment") << withLine(good, 2, "comment: x");
    QTest::newRow("global signature short") << withLine(good, 3, QByteArray(63, 'a').toBase64());
    QTest::newRow("too long") << good + QByteArray(Minisign::kMaxSignatureFileBytes, ' ');
    QTest::newRow("binary") << QByteArray("\0\0\0\n\xff\n\n\n", 8);
}

void TestUpdaterCore::malformedSignatureFiles()
{
    QFETCH(QByteArray, file);
    QString why;
    QVERIFY(!Minisign::ReadSignature(file, &why));
    QVERIFY(!why.isEmpty());
}

void TestUpdaterCore::signatures_data()
{
    QTest::addColumn<QByteArray>("keyLine");
    QTest::addColumn<QByteArray>("signatureFile");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("ok");
    const TestKey maker;
    const TestKey other;
    const QByteArray data = QByteArray(100000, 'x') + "installer";
    const QByteArray good = maker.signatureFile(data);
    QTest::newRow("prehashed") << maker.publicKeyLine() << good << data << true;
    QTest::newRow("legacy") << maker.publicKeyLine() << maker.signatureFile(data, false) << data << true;
    QTest::newRow("line ends CR LF") << maker.publicKeyLine() << QByteArray(good).replace("\n", "\r\n") << data << true;
    QTest::newRow("empty file") << maker.publicKeyLine() << maker.signatureFile("") << QByteArray() << true;
    QTest::newRow("other file") << maker.publicKeyLine() << good << data + "!" << false;
    QTest::newRow("cut file") << maker.publicKeyLine() << good << data.chopped(1) << false;
    QTest::newRow("other key") << maker.publicKeyLine() << other.signatureFile(data) << data << false;
    // Another key that claims the maker's key ID.
    QByteArray forged = other.signatureFile(data);
    forged = withLine(forged, 1, ("ED" + maker.keyId() + QByteArray::fromBase64(lineOf(forged, 1)).mid(10)).toBase64());
    QTest::newRow("forged key ID") << maker.publicKeyLine() << forged << data << false;
    QTest::newRow("trusted comment changed")
        << maker.publicKeyLine() << withLine(good, 2, "trusted comment: timestamp:1\tfile:setup.exe") << data << false;
    QTest::newRow("legacy read as prehashed")
        << maker.publicKeyLine()
        << withLine(maker.signatureFile(data, false), 1,
                    ("ED" + QByteArray::fromBase64(lineOf(maker.signatureFile(data, false), 1)).mid(2)).toBase64())
        << data << false;
    QTest::newRow("key not a key") << QByteArray("bm90IGEga2V5") << good << data << false;
    QTest::newRow("no key") << QByteArray() << good << data << false;
}

void TestUpdaterCore::signatures()
{
    QFETCH(QByteArray, keyLine);
    QFETCH(QByteArray, signatureFile);
    QFETCH(QByteArray, data);
    QFETCH(bool, ok);
    QString why;
    QCOMPARE(verifies(keyLine, signatureFile, data, &why), ok);
    QCOMPARE(why.isEmpty(), ok);
}

void TestUpdaterCore::filesSignedByMinisignVerify_data()
{
    QTest::addColumn<QStringList>("signOptions");
    QTest::newRow("default") << QStringList{};
    QTest::newRow("legacy") << QStringList{QStringLiteral("-l")};
}

// The maker signs with the minisign program: what it writes must verify.
void TestUpdaterCore::filesSignedByMinisignVerify()
{
    QFETCH(QStringList, signOptions);
    const QString minisign = QStandardPaths::findExecutable(QStringLiteral("minisign"));
    if (minisign.isEmpty())
        QSKIP("minisign is not installed");
    QTemporaryDir dir;
    const QString pk = dir.filePath(QStringLiteral("test.pub"));
    const QString sk = dir.filePath(QStringLiteral("test.key"));
    const QString setup = dir.filePath(QStringLiteral("setup.exe"));
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(minisign, args);
        return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    };
    QVERIFY(run({QStringLiteral("-G"), QStringLiteral("-W"), QStringLiteral("-p"), pk, QStringLiteral("-s"), sk}));
    QFile file(setup);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray data = QByteArray(300000, '\x5a') + "end";
    file.write(data);
    file.close();
    QVERIFY(run(QStringList{QStringLiteral("-S"), QStringLiteral("-s"), sk, QStringLiteral("-m"), setup,
                            QStringLiteral("-t"), QStringLiteral("Quobex 1.0.9.0")} +
                signOptions));
    QFile pub(pk);
    QVERIFY(pub.open(QIODevice::ReadOnly));
    const QByteArray keyLine = pub.readAll().split('\n').value(1);
    QFile sig(setup + QStringLiteral(".minisig"));
    QVERIFY(sig.open(QIODevice::ReadOnly));
    const QByteArray signature = sig.readAll();
    QString why;
    QVERIFY2(verifies(keyLine, signature, data, &why), qPrintable(why));
    QVERIFY(!verifies(keyLine, signature, data + "x", &why));
    QCOMPARE(Minisign::ReadSignature(signature)->trustedComment, QByteArray("Quobex 1.0.9.0"));
}

QTEST_GUILESS_MAIN(TestUpdaterCore)
#include "tst_updater_core.moc"
