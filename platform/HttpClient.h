#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

#include <functional>
#include <memory>

class QIODevice;
class QNetworkCookieJar;

namespace platform {

// A blocking HTTP/1.1 GET, usable on any thread. The calling thread runs its
// own event loop while it waits, so on the main thread the window stays
// alive. The URL goes on the wire byte for byte as the caller built it;
// one holding a control byte (CR, LF, NUL ...) fails without being sent.
// Any failure throws HttpError: no connection, an HTTP error status, a
// time-out, a body that broke off, or a worker asked to stop. Cookies that
// the server sets are kept in memory for the life of the client and sent
// back with its later requests. Redirects are followed.
class HttpClient {
public:
    struct Progress {
        std::function<void(qint64 total)> begin;    // body starts; announced size or 0
        std::function<void(qint64 count)> progress; // bytes received so far
        std::function<void()> end;                  // body complete
    };

    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    void setUserAgent(const QByteArray& agent) { m_userAgent = agent; }
    void setHeader(const QByteArray& name, const QByteArray& value);
    // No data for `inactivityMs` fails a request; so does a request that has
    // not ended after `totalMs` (0: no overall limit).
    void setTimeouts(int inactivityMs, int totalMs);

    // The whole body of a successful GET of `url` (an encoded absolute URL).
    QByteArray get(const QByteArray& url);

    // Streams the body of a GET of `url` into `sink`.
    void download(const QByteArray& url, QIODevice& sink, const Progress& progress);

    static constexpr int kDefaultInactivityMs = 30000;
    static constexpr int kDefaultTotalMs = 120000;
    static constexpr int kMaxRedirects = 10;

private:
    struct Exchange;
    void run(QByteArray url, QIODevice* sink, QByteArray* body, const Progress* progress);

    QByteArray m_userAgent;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    int m_inactivityMs = kDefaultInactivityMs;
    int m_totalMs = kDefaultTotalMs;
    std::unique_ptr<QNetworkCookieJar> m_cookies;
};

} // namespace platform
