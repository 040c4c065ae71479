#include "tests/support/LoopbackServer.h"

#include <chrono>

namespace testsupport {

LoopbackServer::LoopbackServer()
{
    m_server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        std::lock_guard lock(m_mutex);
        Request r;
        r.target = QByteArray::fromStdString(req.target);
        r.userAgent = QByteArray::fromStdString(req.get_header_value("User-Agent"));
        r.headers = req.headers;
        m_requests.append(r);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    m_server.set_keep_alive_max_count(100);
}

LoopbackServer::~LoopbackServer()
{
    stop();
}

void LoopbackServer::start()
{
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        qFatal("cannot bind a loopback port");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    // httplib's stop() does nothing until the listening loop has begun, so a
    // server stopped right after start() would leave its thread in accept()
    // for good. Return only once the loop runs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!m_server.is_running()) {
        if (std::chrono::steady_clock::now() > deadline)
            qFatal("loopback server did not start listening");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void LoopbackServer::stop()
{
    if (!m_thread.joinable())
        return;
    m_server.stop();
    m_thread.join();
}

QByteArray LoopbackServer::hostAndPort() const
{
    return "127.0.0.1:" + QByteArray::number(m_port);
}

QByteArray LoopbackServer::url(const QByteArray& path) const
{
    return "http://" + hostAndPort() + path;
}

QList<LoopbackServer::Request> LoopbackServer::requests() const
{
    // A list of its own, not a shared copy of m_requests: the server thread
    // appends to m_requests, and a caller's first write to a shared copy would
    // read the elements while the server thread moves them.
    std::lock_guard lock(m_mutex);
    QList<Request> out;
    out.reserve(m_requests.size());
    for (const Request& r : m_requests)
        out.append(r);
    return out;
}

QList<QByteArray> LoopbackServer::targets() const
{
    std::lock_guard lock(m_mutex);
    QList<QByteArray> out;
    for (const Request& r : m_requests)
        out.append(r.target);
    return out;
}

void LoopbackServer::clearRequests()
{
    std::lock_guard lock(m_mutex);
    m_requests.clear();
}

} // namespace testsupport
