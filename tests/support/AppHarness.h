#pragma once

#include "quobex/config/Endpoints.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/RecordingShell.h"
#include "tests/support/RecordingTray.h"
#include "tests/support/TempDataFolder.h"

#include <functional>
#include <memory>

class QThread;

namespace quobex {
class Program;
class TfrmMainForm;
} // namespace quobex

namespace testsupport {

// The program's three windows over a fresh temporary data folder, with a
// recording shell, tray and message boxes. Endpoints default to a loopback
// port where nobody listens; point them at a test server before create().
class AppHarness {
public:
    explicit AppHarness(bool trayAvailable = true);
    ~AppHarness();

    TempDataFolder home;
    RecordingShell shell;
    RecordingTray tray;
    RecordingMessages messages;
    quobex::Endpoints endpoints;
    int endRequests = 0; // how often the program asked to end
    int lastExitCode = -1;
    // How the program starts its workers; empty: as the program does.
    std::function<bool(QThread&)> startThread;

    // Makes the windows in the program's order (runs FormCreate).
    void create();
    // create() if needed, then StartUp and show; waits until the window is up.
    // The timers are stopped again unless `keepTimers`.
    void start(bool keepTimers = false);
    void destroy();

    quobex::Program* program() const { return m_program.get(); }
    quobex::TfrmMainForm* form() const;

private:
    std::unique_ptr<quobex::Program> m_program;
};

} // namespace testsupport
