#pragma once

#include <QByteArray>

#include <memory>

class QThread;

namespace platform {
class HttpClient;
}

namespace quobex {

// The once-a-minute ping of the maker's server. Each ping is a plain GET
// whose reply is thrown away and whose every error is dropped; it runs on a
// worker so the window never waits for it. Cookies the server sets live in
// memory for the life of this object and go back with later pings.
class UsagePing {
public:
    UsagePing();
    ~UsagePing(); // gives up a ping still in flight
    UsagePing(const UsagePing&) = delete;
    UsagePing& operator=(const UsagePing&) = delete;

    // Sends one ping with `agent` as its user agent. A ping still in flight
    // is not doubled: the call then does nothing and returns false.
    bool send(const QByteArray& url, const QByteArray& agent);
    bool inFlight() const;
    // Pings sent so far (not counting the ones skipped).
    int sent() const { return m_sent; }

    void setTimeouts(int inactivityMs, int totalMs);

    static constexpr int kInactivityMs = 30000;
    // Below the ping interval, so a hanging server costs one skipped ping at most.
    static constexpr int kTotalMs = 55000;

private:
    std::unique_ptr<platform::HttpClient> m_client;
    std::unique_ptr<QThread> m_worker;
    int m_sent = 0;
};

} // namespace quobex
