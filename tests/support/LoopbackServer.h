#pragma once

#include <QByteArray>
#include <QList>

#include <httplib.h>

#include <mutex>
#include <thread>

namespace testsupport {

// A real HTTP server on 127.0.0.1 at a free port, on a thread of its own.
// Add handlers to server() before start(). Every request is recorded with
// its raw target (path and query exactly as sent) and its headers.
class LoopbackServer {
public:
    struct Request {
        QByteArray target;
        QByteArray userAgent;
        httplib::Headers headers;
    };

    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    httplib::Server& server() { return m_server; }
    void start();
    void stop();

    int port() const { return m_port; }
    // "127.0.0.1:<port>"
    QByteArray hostAndPort() const;
    // "http://127.0.0.1:<port>" + path
    QByteArray url(const QByteArray& path) const;

    QList<Request> requests() const;
    QList<QByteArray> targets() const;
    void clearRequests();

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = -1;
    mutable std::mutex m_mutex;
    QList<Request> m_requests;
};

} // namespace testsupport
