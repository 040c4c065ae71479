// Start-up, the data folder, the main window, the tray and ending.

#include "quobex/shell/MainForm.h"
#include "tests/support/AppHarness.h"
#include "tests/support/Fixtures.h"

#include <QFileInfo>
#include <QTest>

using testsupport::AppHarness;
using testsupport::readFile;

class TestShell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstStartCreatesDataFolderAndMarker();
};

void TestShell::firstStartCreatesDataFolderAndMarker()
{
    AppHarness app;
    app.start();
    quobex::TfrmMainForm* form = app.form();
    QCOMPARE(form->windowTitle(), QStringLiteral("Quobex 1.0.8.49 - Current Alerts"));
    QVERIFY(QFileInfo(app.home.dataFolder()).isDir());
    QCOMPARE(readFile(app.home.file(QStringLiteral("quobex_version.dat"))), QByteArray("1.0.8.49"));
    QVERIFY(!QFileInfo::exists(app.home.file(QStringLiteral("quobex_amazon_items.dat"))));
    QVERIFY(app.messages.informed.isEmpty());
    QCOMPARE(app.endRequests, 0);
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
