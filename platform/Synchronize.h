#pragma once

#include <functional>

namespace platform {

// Runs `work` on the application's main thread and returns when it has run.
// Called on the main thread, it runs `work` inline. An exception thrown by
// `work` is rethrown to the caller. A worker whose interruption has been
// requested gets Interrupted instead of a hand-over, so a program that is
// shutting down is never waited for by its workers.
void Synchronize(const std::function<void()>& work);

// True on the application's main thread.
bool IsMainThread();

} // namespace platform
