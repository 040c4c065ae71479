#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

#include <functional>
#include <memory>

class QIODevice;

namespace platform {

// A blocking HTTP/1.1 GET over libcurl. It blocks the calling thread and runs
// no event loop, so it belongs on a worker thread (the fetch, the page view's
// loaders, the installer download); the window's thread never calls it.
// The path and query of the URL go on the wire byte for byte as the caller
// built them; a URL holding a control byte (CR, LF, NUL ...) fails without
// being sent. Any failure throws HttpError: no connection, an HTTP error
// status, a time-out, a body that broke off, headers or a body over their
// limit, a worker asked to stop. Cookies that the server sets are kept in
// memory for the life of the client (never on disk) and sent back with its
// later requests. Redirects are followed (http and https only, never from
// https to http, at most kMaxRedirects). The standard proxy variables
// (http_proxy, https_proxy, no_proxy ...) are honoured.
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
    // The largest body a request accepts; a reply announcing more fails at
    // once, one that sends more fails when it passes the limit. Until set,
    // get() takes kMaxReplyBytes and download() kMaxDownloadBytes.
    void setMaxBodyBytes(qint64 bytes) { m_maxBodyBytes = bytes; }

    // The whole body of a successful GET of `url` (an encoded absolute URL).
    QByteArray get(const QByteArray& url);

    // Streams the body of a GET of `url` into `sink`.
    void download(const QByteArray& url, QIODevice& sink, const Progress& progress);

    static constexpr int kDefaultInactivityMs = 30000;
    static constexpr int kDefaultTotalMs = 120000;
    static constexpr int kMaxRedirects = 10;
    // How long a worker's stop request may go unnoticed.
    static constexpr int kInterruptPollMs = 50;
    // All header lines of one reply together, interim replies included.
    static constexpr qint64 kMaxHeaderBytes = 64 * 1024;
    // Service replies and pages.
    static constexpr qint64 kMaxReplyBytes = 16 * 1024 * 1024;
    static constexpr qint64 kMaxDownloadBytes = qint64(1024) * 1024 * 1024;

private:
    struct Handles;
    struct Transfer;
    void run(QByteArray url, QIODevice* sink, QByteArray* body, const Progress* progress, qint64 maxBody);

    QByteArray m_userAgent;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    int m_inactivityMs = kDefaultInactivityMs;
    int m_totalMs = kDefaultTotalMs;
    qint64 m_maxBodyBytes = -1;
    std::unique_ptr<Handles> m_handles;
};

} // namespace platform
