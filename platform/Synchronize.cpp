#include "platform/Synchronize.h"

#include "platform/Errors.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

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
    // The call goes through the main thread's event queue; the worker waits
    // on a condition of our own rather than Qt's blocking connection, so the
    // order of the hand-over is stated in our own code, where
    // ThreadSanitizer sees it (Qt is not built with it), and the call's
    // closure is freed on the main thread that ran it.
    struct HandOver {
        std::mutex mutex;
        std::condition_variable doneChanged;
        bool done = false;
        bool ran = false;
        std::exception_ptr failure;
    };
    // Ends the wait when the call's closure goes: after the call, or when the
    // event is thrown away unrun because the application is ending.
    struct EndOfCall {
        std::shared_ptr<HandOver> handOver;
        ~EndOfCall()
        {
            const std::lock_guard lock(handOver->mutex);
            handOver->done = true;
            handOver->doneChanged.notify_all();
        }
    };
    auto handOver = std::make_shared<HandOver>();
    auto end = std::make_shared<EndOfCall>();
    end->handOver = handOver;
    // A release the main thread acquires before it runs `work`, whether or
    // not Qt's wake-up of the event loop carries one.
    std::atomic<int> posted{0};
    posted.store(1, std::memory_order_release);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [end = std::move(end), &work, &posted] {
            posted.load(std::memory_order_acquire);
            std::exception_ptr failure;
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            const std::lock_guard lock(end->handOver->mutex);
            end->handOver->ran = true;
            end->handOver->failure = failure;
        },
        Qt::QueuedConnection);
    std::unique_lock lock(handOver->mutex);
    handOver->doneChanged.wait(lock, [&] { return handOver->done; });
    if (!handOver->ran)
        throw Interrupted();
    if (handOver->failure)
        std::rethrow_exception(handOver->failure);
}

} // namespace platform
