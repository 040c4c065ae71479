#include "tests/support/AppHarness.h"

#include "quobex/shell/MainForm.h"
#include "quobex/shell/Program.h"

#include <QTest>
#include <QTimer>

namespace testsupport {

AppHarness::AppHarness(bool trayAvailable)
    : tray(trayAvailable), endpoints(quobex::Endpoints::loopback("127.0.0.1:9", "127.0.0.1:9"))
{
}

AppHarness::~AppHarness()
{
    destroy();
}

void AppHarness::create()
{
    quobex::Services services;
    services.endpoints = endpoints;
    services.shell = &shell;
    services.tray = &tray;
    services.messages = &messages;
    services.requestEnd = [this](int code) {
        ++endRequests;
        lastExitCode = code;
    };
    services.startThread = startThread;
    m_program = std::make_unique<quobex::Program>(services);
}

void AppHarness::start(bool keepTimers)
{
    if (!m_program)
        create();
    m_program->start();
    QVERIFY(QTest::qWaitForWindowExposed(form()));
    if (!keepTimers) {
        for (QTimer* timer :
             {form()->timerStartup, form()->timerFetchAmazon, form()->timerPing, form()->timerCheckForUpdates})
            timer->stop();
    }
}

void AppHarness::destroy()
{
    m_program.reset();
}

quobex::TfrmMainForm* AppHarness::form() const
{
    return m_program ? m_program->mainForm() : nullptr;
}

} // namespace testsupport
