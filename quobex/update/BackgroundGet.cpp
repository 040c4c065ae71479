#include "quobex/update/BackgroundGet.h"

#include "platform/HttpClient.h"
#include "platform/Wait.h"

#include <QThread>

#include <exception>
#include <memory>

namespace quobex {

std::optional<QByteArray> GetWithoutFreezing(platform::HttpClient& client, const QByteArray& url, QString* error)
{
    QByteArray body;
    QString failure;
    bool ok = false;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            body = client.get(url);
            ok = true;
        } catch (const std::exception& e) {
            failure = QString::fromLocal8Bit(e.what());
        }
    }));
    worker->start();
    if (!platform::WaitWhile([&] { return !worker->isFinished(); }, kBackgroundPollMs)) {
        // The program is quitting: the request is given up.
        worker->requestInterruption();
        worker->wait();
        ok = false;
        failure = QStringLiteral("The program is ending");
    }
    worker->wait();
    if (!ok) {
        if (error)
            *error = failure;
        return std::nullopt;
    }
    return body;
}

} // namespace quobex
