// The program as the user runs it: started, then ended by the system.

#include "tests/support/Fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class TestProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endsCleanlyOnSignal_data();
    void endsCleanlyOnSignal();
};

void TestProgram::endsCleanlyOnSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestProgram::endsCleanlyOnSignal()
{
    QFETCH(int, signal);
    QTemporaryDir home;
    const QString config = home.filePath(QStringLiteral("config"));
    QDir().mkpath(config);
    const QString dataFolder = config + QStringLiteral("/Quobex/");

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(QUOBEX_BINARY), {});
    QVERIFY(program.waitForStarted());

    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(dataFolder + QStringLiteral("quobex_version.dat")), 20000);
    QCOMPARE(testsupport::readFile(dataFolder + QStringLiteral("quobex_version.dat")), QByteArray("1.0.8.49"));
    QTest::qWait(300); // let the window come up and load
    ::kill(pid_t(program.processId()), signal);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    // The empty tree was saved on the way out: the signature and a count of 0.
    QCOMPARE(testsupport::readFile(dataFolder + QStringLiteral("quobex_amazon_items.dat")),
             QByteArray::fromHex("452056005400020020004620"
                                 "00000000"));
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
