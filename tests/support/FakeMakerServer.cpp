#include "tests/support/FakeMakerServer.h"

#include <chrono>
#include <thread>

namespace testsupport {

FakeMakerServer::FakeMakerServer()
{
    m_server.server().Get(".*", [this](const httplib::Request& req, httplib::Response& res) { handle(req, res); });
    m_server.start();
}

FakeMakerServer::~FakeMakerServer()
{
    stop();
}

void FakeMakerServer::stop()
{
    releaseHanging();
    m_server.stop();
}

void FakeMakerServer::setReply(const QByteArray& path, const Reply& reply)
{
    std::lock_guard lock(m_mutex);
    m_replies.insert(path, reply);
}

void FakeMakerServer::releaseHanging()
{
    {
        std::lock_guard lock(m_mutex);
        m_releasing = true;
    }
    m_released.notify_all();
}

void FakeMakerServer::waitForRelease()
{
    std::unique_lock lock(m_mutex);
    m_released.wait_for(lock, std::chrono::milliseconds(kHangLimitMs), [this] { return m_releasing; });
}

QList<LoopbackServer::Request> FakeMakerServer::requestsFor(const QByteArray& path) const
{
    QList<LoopbackServer::Request> out;
    for (const LoopbackServer::Request& r : m_server.requests()) {
        if (r.target == path)
            out.append(r);
    }
    return out;
}

int FakeMakerServer::openRequests() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

void FakeMakerServer::handle(const httplib::Request& request, httplib::Response& response)
{
    Reply reply;
    bool known = false;
    {
        std::unique_lock lock(m_mutex);
        ++m_open;
        const auto it = m_replies.constFind(QByteArray::fromStdString(request.path));
        if (it != m_replies.constEnd()) {
            reply = *it;
            known = true;
        }
        if (known && reply.hang) {
            m_released.wait_for(lock, std::chrono::milliseconds(kHangLimitMs), [this] { return m_releasing; });
            --m_open;
            response.status = 503;
            return;
        }
    }
    struct Close {
        FakeMakerServer* s;
        ~Close()
        {
            std::lock_guard lock(s->m_mutex);
            --s->m_open;
        }
    } close{this};
    if (!known) {
        response.status = 404;
        response.set_content("not here", "text/plain");
        return;
    }
    if (reply.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
    response.status = reply.status;
    if (!reply.setCookie.isEmpty())
        response.set_header("Set-Cookie", reply.setCookie.toStdString());
    const std::string type = reply.contentType.toStdString();
    if (!reply.cutOff && reply.pieceBytes <= 0 && !reply.noLength) {
        response.set_content(reply.body.toStdString(), type);
        return;
    }
    const auto body = std::make_shared<QByteArray>(reply.body);
    const qsizetype limit = reply.cutOff ? body->size() / 2 : body->size();
    const qsizetype piece = reply.pieceBytes > 0 ? reply.pieceBytes : 64 * 1024;
    const int pause = reply.pieceDelayMs;
    const qint64 holdAt = reply.holdAt;
    auto provide = [this, body, limit, piece, pause, holdAt](size_t offset, size_t, httplib::DataSink& sink) {
        if (qsizetype(offset) >= limit)
            return false; // a cut body: the connection closes short of the announced length
        if (holdAt >= 0 && qint64(offset) >= holdAt)
            waitForRelease();
        if (pause > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        qsizetype n = std::min(piece, limit - qsizetype(offset));
        if (holdAt > qint64(offset))
            n = std::min<qsizetype>(n, holdAt - qint64(offset));
        return sink.write(body->constData() + offset, size_t(n));
    };
    if (reply.noLength) {
        response.set_content_provider(type, [body, piece, pause](size_t offset, httplib::DataSink& sink) {
            if (qsizetype(offset) >= body->size()) {
                sink.done();
                return true;
            }
            if (pause > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(pause));
            const qsizetype n = std::min(piece, body->size() - qsizetype(offset));
            return sink.write(body->constData() + offset, size_t(n));
        });
        return;
    }
    response.set_content_provider(size_t(body->size()), type, provide);
}

} // namespace testsupport
