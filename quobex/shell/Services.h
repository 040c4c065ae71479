#pragma once

#include "quobex/config/Endpoints.h"

#include <functional>

class QThread;

namespace platform {
class Shell;
}
namespace platform::ui {
class MessageBoxes;
class Tray;
} // namespace platform::ui

namespace quobex {

// What the main window needs of the world outside it. The program passes
// the real ones; tests pass loopback addresses and recording stand-ins.
struct Services {
    Endpoints endpoints;
    platform::Shell* shell = nullptr;
    platform::ui::Tray* tray = nullptr;
    platform::ui::MessageBoxes* messages = nullptr;
    // Asks the program to end with `exitCode` as soon as its message loop runs.
    std::function<void(int exitCode)> requestEnd;
    // Starts a worker thread; false when the system would not start it.
    // Empty: QThread::start.
    std::function<bool(QThread& thread)> startThread;
};

} // namespace quobex
