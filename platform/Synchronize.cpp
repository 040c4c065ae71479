#include "platform/Synchronize.h"

#include "platform/Errors.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <atomic>
#include <exception>

namespace platform {

bool IsMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void Synchronize(const std::function<void()>& work)
{
    if (IsMainThread() || !QCoreApplication::instance()) {
        work();
        return;
    }
    if (QThread::currentThread()->isInterruptionRequested())
        throw Interrupted();
    std::exception_ptr failure;
    // Qt passes the call through its event queue and a semaphore of its own,
    // which ThreadSanitizer cannot see into (Qt is not built with it). This
    // release/acquire pair states in our own code what the hand-over
    // guarantees: what the worker wrote before it is seen by `work`, and
    // what `work` wrote is seen by the worker after it.
    std::atomic<int> stage{1};
    stage.store(1, std::memory_order_release);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&] {
            stage.load(std::memory_order_acquire);
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            stage.store(2, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    stage.load(std::memory_order_acquire);
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace platform
