#pragma once

#include "tests/support/LoopbackServer.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <condition_variable>
#include <mutex>

namespace testsupport {

// The maker's web server on a loopback port: each path answers with the
// reply a test set for it, and 404 when it has none. A reply may come late,
// arrive in pieces, break off in its body, set a cookie, or hang until the
// test releases it (or the server stops).
class FakeMakerServer {
public:
    struct Reply {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/plain";
        int delayMs = 0;       // wait this long before answering
        bool hang = false;     // never answer until released
        bool cutOff = false;   // announce the whole body, send half, close
        int pieceBytes = 0;    // send the body in pieces of this size (0: at once)
        int pieceDelayMs = 0;  // pause before each piece
        QByteArray setCookie;  // a Set-Cookie header value
        bool noLength = false; // no Content-Length: the body ends with the connection
        qint64 holdAt = -1;    // after this many body bytes, wait until released
    };

    // Listens at once.
    FakeMakerServer();
    ~FakeMakerServer();
    FakeMakerServer(const FakeMakerServer&) = delete;
    FakeMakerServer& operator=(const FakeMakerServer&) = delete;

    void setReply(const QByteArray& path, const Reply& reply);
    // Lets every hanging reply go (they answer 503).
    void releaseHanging();

    // "http://127.0.0.1:<port>"
    QByteArray address() const { return m_server.url(""); }
    QByteArray hostAndPort() const { return m_server.hostAndPort(); }
    QList<LoopbackServer::Request> requestsFor(const QByteArray& path) const;
    // Requests whose handling has begun and not yet ended.
    int openRequests() const;
    LoopbackServer& server() { return m_server; }

    void stop();

    static constexpr int kHangLimitMs = 30000;

private:
    void handle(const httplib::Request& request, httplib::Response& response);
    void waitForRelease();

    LoopbackServer m_server;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_releasing = false;
    int m_open = 0;
    QHash<QByteArray, Reply> m_replies;
};

} // namespace testsupport
