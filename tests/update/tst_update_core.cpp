// The system description, version comparison and where Updater lives.

#include "quobex/update/UpdateCheck.h"
#include "quobex/update/WinVersions.h"

#include <QTest>

using quobex::OSVersionRecord;
namespace UpdateCheck = quobex::UpdateCheck;

Q_DECLARE_METATYPE(OSVersionRecord)

namespace {

OSVersionRecord record(quint32 platform, quint32 major, quint32 minor, quint32 build, const QByteArray& sp,
                       quint16 suite = 0, quint8 product = 1, bool hotfix = false)
{
    OSVersionRecord r;
    r.platformId = platform;
    r.majorVersion = major;
    r.minorVersion = minor;
    r.buildNumber = build;
    r.servicePack = sp;
    r.suiteMask = suite;
    r.productType = product;
    r.hotfixKeyOpens = hotfix;
    return r;
}

} // namespace

class TestUpdateCore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowsDescription_data();
    void windowsDescription();
    void unixDescription_data();
    void unixDescription();
    void runningSystemIsDescribed();
    void versions_data();
    void versions();
    void updaterPath_data();
    void updaterPath();
};

void TestUpdateCore::windowsDescription_data()
{
    QTest::addColumn<OSVersionRecord>("r");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("win32s") << record(0, 3, 10, 0, "x") << QByteArray("Microsoft Win32s");
    QTest::newRow("95") << record(1, 4, 0, 950, " A") << QByteArray("Microsoft Windows 95");
    QTest::newRow("95 OSR2 B") << record(1, 4, 0, 1111, " B") << QByteArray("Microsoft Windows 95 OSR2");
    QTest::newRow("95 OSR2 C") << record(1, 4, 0, 1111, " C") << QByteArray("Microsoft Windows 95 OSR2");
    QTest::newRow("95 short sp") << record(1, 4, 0, 950, "B") << QByteArray("Microsoft Windows 95");
    QTest::newRow("98") << record(1, 4, 10, 1998, "") << QByteArray("Microsoft Windows 98");
    QTest::newRow("98 SE") << record(1, 4, 10, 2222, " A ") << QByteArray("Microsoft Windows 98 SE");
    QTest::newRow("ME") << record(1, 4, 90, 3000, "") << QByteArray("Microsoft Windows Millennium Edition");
    QTest::newRow("9x other") << record(1, 4, 50, 1, "") << QByteArray();
    QTest::newRow("XP Pro SP2") << record(2, 5, 1, 2600, "Service Pack 2")
                                << QByteArray("Microsoft Windows XP Professional Service Pack 2 (Build 2600)");
    QTest::newRow("XP Home no SP") << record(2, 5, 1, 2600, "", 0x0200)
                                   << QByteArray("Microsoft Windows XP Home Edition  (Build 2600)");
    QTest::newRow("6.1 workstation") << record(2, 6, 1, 7601, "Service Pack 1")
                                     << QByteArray("Microsoft Windows NT Professional Service Pack 1 (Build 7601)");
    QTest::newRow("NT4 workstation") << record(2, 4, 0, 1381, "Service Pack 5")
                                     << QByteArray("Microsoft Windows NT Workstation 4.0 Service Pack 5 (Build 1381)");
    QTest::newRow("NT4 server ent SP6a")
        << record(2, 4, 0, 1381, "Service Pack 6", 0x0002, 3, true)
        << QByteArray("Microsoft Windows NT Server 4.0, Enterprise Edition Service Pack 6a (Build 1381)");
    QTest::newRow("NT4 SP6 case, no hotfix")
        << record(2, 4, 0, 1381, "service pack 6", 0, 3, false)
        << QByteArray("Microsoft Windows NT Server 4.0 service pack 6 (Build 1381)");
    QTest::newRow("NT4 workstation SP6a")
        << record(2, 4, 0, 1381, "SERVICE PACK 6", 0, 1, true)
        << QByteArray("Microsoft Windows NT Workstation 4.0 Service Pack 6a (Build 1381)");
    QTest::newRow("2003 datacenter") << record(2, 5, 2, 3790, "", 0x0082, 3)
                                     << QByteArray("Microsoft Windows Server 2003 Datacenter Edition  (Build 3790)");
    QTest::newRow("2003 enterprise")
        << record(2, 5, 2, 3790, "Service Pack 1", 0x0002, 3)
        << QByteArray("Microsoft Windows Server 2003 Enterprise Edition Service Pack 1 (Build 3790)");
    QTest::newRow("2003 web") << record(2, 5, 2, 3790, "", 0x0400, 3)
                              << QByteArray("Microsoft Windows Server 2003 Web Edition  (Build 3790)");
    QTest::newRow("2003 blade and more is standard")
        << record(2, 5, 2, 3790, "", 0x0410, 3)
        << QByteArray("Microsoft Windows Server 2003 Standard Edition  (Build 3790)");
    QTest::newRow("2000 datacenter") << record(2, 5, 0, 2195, "Service Pack 4", 0x0080, 3)
                                     << QByteArray(
                                            "Microsoft Windows 2000 Datacenter Server Service Pack 4 (Build 2195)");
    QTest::newRow("2000 advanced") << record(2, 5, 0, 2195, "Service Pack 4", 0x0002, 3)
                                   << QByteArray("Microsoft Windows 2000 Advanced Server Service Pack 4 (Build 2195)");
    QTest::newRow("2000 server") << record(2, 5, 0, 2195, "Service Pack 4", 0, 3)
                                 << QByteArray("Microsoft Windows 2000 Server Service Pack 4 (Build 2195)");
    QTest::newRow("2000 pro") << record(2, 5, 0, 2195, "Service Pack 4", 0, 1)
                              << QByteArray("Microsoft Windows 2000 Professional Service Pack 4 (Build 2195)");
    QTest::newRow("domain controller") << record(2, 5, 0, 2195, "Service Pack 4", 0x0002, 2)
                                       << QByteArray("Microsoft Windows 2000 Service Pack 4 (Build 2195)");
    QTest::newRow("server 6.0 enterprise")
        << record(2, 6, 0, 6001, "Service Pack 1", 0x0002, 3)
        << QByteArray("Microsoft Windows NT Server 6.0, Enterprise Edition Service Pack 1 (Build 6001)");
    QTest::newRow("server 6.1") << record(2, 6, 1, 7600, "", 0, 3)
                                << QByteArray("Microsoft Windows NT Server 6.1  (Build 7600)");
    QTest::newRow("build high word dropped")
        << record(2, 5, 1, 0x05012800u, "Service Pack 3")
        << QByteArray("Microsoft Windows XP Professional Service Pack 3 (Build 10240)");
    QTest::newRow("unknown platform") << record(3, 5, 1, 1, "") << QByteArray();
}

void TestUpdateCore::windowsDescription()
{
    QFETCH(OSVersionRecord, r);
    QFETCH(QByteArray, text);
    QCOMPARE(quobex::OSDescription(r), text);
}

void TestUpdateCore::unixDescription_data()
{
    QTest::addColumn<QByteArray>("osRelease");
    QTest::addColumn<QByteArray>("kernelName");
    QTest::addColumn<QByteArray>("kernelRelease");
    QTest::addColumn<QByteArray>("text");
    const QByteArray debian = "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
                              "VERSION_ID=\"12\"\nVERSION=\"12 (bookworm)\"\nID=debian\n";
    QTest::newRow("debian") << debian << QByteArray("Linux") << QByteArray("6.1.0-28-amd64")
                            << QByteArray("Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-28-amd64)");
    QTest::newRow("no pretty name") << QByteArray("NAME=Fedora\nVERSION='39 (Workstation)'\n") << QByteArray("Linux")
                                    << QByteArray("6.5") << QByteArray("Fedora 39 (Workstation) (Linux 6.5)");
    QTest::newRow("no os-release") << QByteArray() << QByteArray("Linux") << QByteArray("6.1.0")
                                   << QByteArray("Linux 6.1.0");
    QTest::newRow("no kernel") << debian << QByteArray() << QByteArray()
                               << QByteArray("Debian GNU/Linux 12 (bookworm)");
    QTest::newRow("nothing") << QByteArray("# only a comment\n") << QByteArray() << QByteArray() << QByteArray();
    // The text goes into a header line: nothing may break it.
    QTest::newRow("control bytes") << QByteArray("PRETTY_NAME=\"A\tB\\\"C\"\n") << QByteArray("Linux")
                                   << QByteArray("6\r\n1") << QByteArray("A B\"C (Linux 6 1)");
    QTest::newRow("code page") << QByteArray("PRETTY_NAME=\"Caf\xc3\xa9 OS \xe2\x98\x83\"\n") << QByteArray("Linux")
                               << QByteArray("6") << QByteArray("Caf\xe9 OS ? (Linux 6)");
}

void TestUpdateCore::unixDescription()
{
    QFETCH(QByteArray, osRelease);
    QFETCH(QByteArray, kernelName);
    QFETCH(QByteArray, kernelRelease);
    QFETCH(QByteArray, text);
    QCOMPARE(quobex::DescribeUnixSystem(osRelease, kernelName, kernelRelease), text);
}

void TestUpdateCore::runningSystemIsDescribed()
{
    const QByteArray text = quobex::OSDescription();
    QVERIFY(!text.isEmpty());
    for (const char c : text)
        QVERIFY(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
}

void TestUpdateCore::versions_data()
{
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<bool>("newer");
    QTest::newRow("same") << QByteArray("1.0.8.49") << false;
    QTest::newRow("next") << QByteArray("1.0.8.50") << true;
    QTest::newRow("more digits") << QByteArray("1.0.8.100") << true;
    QTest::newRow("white space") << QByteArray(" 1.0.9.0\r\n") << true;
    QTest::newRow("same with line break") << QByteArray("1.0.8.49\r\n") << false;
    QTest::newRow("older") << QByteArray("1.0.8.48") << false;
    QTest::newRow("older, shorter") << QByteArray("1.0.7") << false;
    QTest::newRow("newer, shorter") << QByteArray("1.1") << true;
    QTest::newRow("trailing zero") << QByteArray("1.0.8.49.0") << false;
    QTest::newRow("longer") << QByteArray("1.0.8.49.1") << true;
    QTest::newRow("html") << QByteArray("<html><body>2.0</body></html>") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("only space") << QByteArray(" \r\n") << false;
    QTest::newRow("empty part") << QByteArray("1..9") << false;
    QTest::newRow("trailing dot") << QByteArray("2.0.") << false;
    QTest::newRow("sign") << QByteArray("+2.0") << false;
    QTest::newRow("inner space") << QByteArray("2. 0") << false;
    QTest::newRow("huge number") << QByteArray("99999999999999999999999.0") << false;
    QTest::newRow("leading zeros") << QByteArray("01.0.8.050") << true;
}

void TestUpdateCore::versions()
{
    QFETCH(QByteArray, server);
    QFETCH(bool, newer);
    QCOMPARE(UpdateCheck::IsNewerVersion("1.0.8.49", server), newer);
}

void TestUpdateCore::updaterPath_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<bool>("windowsRule");
    QTest::addColumn<QString>("updater");
    QTest::newRow("windows") << QStringLiteral("C:\\Program Files\\Quobex\\Quobex.exe") << true
                             << QStringLiteral("C:\\PROGRAM FILES\\QUOBEX\\UPDATER.EXE");
    QTest::newRow("windows, every occurrence")
        << QStringLiteral("C:\\quobex.exe\\quobex.exe") << true << QStringLiteral("C:\\UPDATER.EXE\\UPDATER.EXE");
    QTest::newRow("windows, other name") << QStringLiteral("C:\\Tools\\qbx.exe") << true
                                         << QStringLiteral("C:\\TOOLS\\QBX.EXE");
    QTest::newRow("elsewhere") << QStringLiteral("/opt/quobex/bin/Quobex") << false
                               << QStringLiteral("/opt/quobex/bin/Updater");
}

void TestUpdateCore::updaterPath()
{
    QFETCH(QString, executable);
    QFETCH(bool, windowsRule);
    QFETCH(QString, updater);
    QCOMPARE(UpdateCheck::UpdaterPath(executable, windowsRule), updater);
}

QTEST_GUILESS_MAIN(TestUpdateCore)
#include "tst_update_core.moc"
