#pragma once

#include <functional>

namespace platform {

// Waits on the calling thread while `predicate` holds, checking it every
// `intervalMs`. Between checks the thread's events are processed (on the
// main thread: painting, timers, input and hand-overs from workers), so the
// window stays alive and other handlers may run inside the wait.
// Returns true once the predicate no longer holds, false when the thread's
// event loops are ending (the program is quitting) before that.
bool WaitWhile(const std::function<bool()>& predicate, int intervalMs);

} // namespace platform
