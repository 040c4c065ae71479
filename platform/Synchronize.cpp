#include "platform/Synchronize.h"

#include "platform/Errors.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

namespace platform {

namespace {

// One call waiting for the main thread. The worker that made it waits until
// `done`; everything here is guarded by `mutex`.
struct HandOver {
    const std::function<void()>* work = nullptr;
    std::mutex mutex;
    std::condition_variable doneChanged;
    bool done = false;
    std::exception_ptr failure;
};

// The calls not yet taken by the main thread, oldest first. Each call is
// found here, under our own mutex, rather than in the event Qt carries to
// the main thread: the order of a hand-over is then stated in our own code,
// where ThreadSanitizer sees it (Qt is not built with it).
std::mutex pendingMutex;
std::deque<std::shared_ptr<HandOver>> pending;

// Runs on the main thread, once per posted call.
void runOldest()
{
    std::shared_ptr<HandOver> call;
    {
        const std::lock_guard lock(pendingMutex);
        if (pending.empty())
            return; // taken back by a worker whose application went away
        call = std::move(pending.front());
        pending.pop_front();
    }
    std::exception_ptr failure;
    try {
        (*call->work)();
    } catch (...) {
        failure = std::current_exception();
    }
    const std::lock_guard lock(call->mutex);
    call->failure = failure;
    call->done = true;
    call->doneChanged.notify_all();
}

// Runs the calls on the main thread. It is made once and its queued slot is
// invoked by name, so no closure is built on a worker and read on the main
// thread outside ThreadSanitizer's view.
class HandOverReceiver : public QObject {
    Q_OBJECT
public Q_SLOTS:
    void run() { runOldest(); }
};

QObject* receiver()
{
    static QObject* const instance = [] {
        auto* object = new HandOverReceiver;
        object->moveToThread(QCoreApplication::instance()->thread());
        return object;
    }();
    return instance;
}

// Takes a call back that the main thread has not begun; false when it has.
bool takeBack(const std::shared_ptr<HandOver>& call)
{
    const std::lock_guard lock(pendingMutex);
    const auto it = std::find(pending.begin(), pending.end(), call);
    if (it == pending.end())
        return false;
    pending.erase(it);
    return true;
}

} // namespace

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
    auto call = std::make_shared<HandOver>();
    call->work = &work;
    {
        const std::lock_guard lock(pendingMutex);
        pending.push_back(call);
    }
    QMetaObject::invokeMethod(receiver(), "run", Qt::QueuedConnection);

    std::unique_lock lock(call->mutex);
    while (!call->doneChanged.wait_for(lock, std::chrono::milliseconds(100), [&] { return call->done; })) {
        // An application that has gone runs no more events: a call it never
        // began is taken back, one it began is waited for.
        if (!QCoreApplication::instance() && takeBack(call))
            throw Interrupted();
    }
    if (call->failure)
        std::rethrow_exception(call->failure);
}

} // namespace platform

#include "Synchronize.moc"
