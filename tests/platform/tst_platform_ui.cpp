// The window half of the platform layer.

#include "platform/ui/Tray.h"
#include "tests/support/RecordingTray.h"

#include <QApplication>
#include <QMainWindow>
#include <QTest>

class TestPlatformUi : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void trayHidesIntoTrayOrMinimises();
};

void TestPlatformUi::trayHidesIntoTrayOrMinimises()
{
    for (const bool available : {true, false}) {
        QMainWindow window;
        testsupport::RecordingTray tray(available);
        tray.setWindow(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        tray.hideApplication();
        if (available)
            QVERIFY(!window.isVisible());
        else
            QTRY_VERIFY(window.isMinimized());
        tray.showApplication();
        QTRY_VERIFY(window.isVisible());
        QVERIFY(!window.isMinimized());
    }
}

QTEST_MAIN(TestPlatformUi)
#include "tst_platform_ui.moc"
