#include "platform/Synchronize.h"

#include "platform/Errors.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

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
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [&] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace platform
