#include "platform/Wait.h"

#include <QEventLoop>
#include <QTimer>

namespace platform {

bool WaitWhile(const std::function<bool()>& predicate, int intervalMs)
{
    while (predicate()) {
        // An event loop rather than a sleep: the thread handles whatever
        // arrives during the interval at once instead of after it.
        QEventLoop loop;
        QTimer::singleShot(intervalMs, &loop, [&loop] { loop.exit(0); });
        // A loop of a thread that is quitting returns at once with -1.
        if (loop.exec() < 0)
            return false;
    }
    return true;
}

} // namespace platform
