#include "platform/HttpClient.h"

#include "platform/Errors.h"

#include <QEventLoop>
#include <QIODevice>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QSslSocket>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <optional>

namespace platform {

namespace {

constexpr int kInterruptPollMs = 50;
constexpr qsizetype kMaxHeaderBytes = 64 * 1024;

struct Target {
    bool tls = false;
    QByteArray host; // for connecting
    quint16 port = 80;
    QByteArray hostField; // the Host header
    QByteArray path;      // path and query exactly as given
};

std::optional<Target> parseTarget(const QByteArray& url)
{
    // A control byte would end the request line early: text from a reply
    // (an ASIN, a link) must never add lines of its own to a request.
    for (const char c : url) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;
    }
    Target t;
    qsizetype rest;
    if (url.startsWith("http://") || url.startsWith("HTTP://")) {
        rest = 7;
    } else if (url.startsWith("https://") || url.startsWith("HTTPS://")) {
        t.tls = true;
        t.port = 443;
        rest = 8;
    } else {
        return std::nullopt;
    }
    qsizetype end = rest;
    while (end < url.size() && url[end] != '/' && url[end] != '?' && url[end] != '#')
        ++end;
    QByteArray authority = url.mid(rest, end - rest);
    const qsizetype at = authority.lastIndexOf('@');
    if (at >= 0)
        authority = authority.mid(at + 1);
    t.hostField = authority;
    qsizetype colon = authority.lastIndexOf(':');
    if (authority.startsWith('[')) {
        const qsizetype close = authority.indexOf(']');
        if (close < 0)
            return std::nullopt;
        t.host = authority.mid(1, close - 1);
        colon = authority.indexOf(':', close);
    } else {
        t.host = colon >= 0 ? authority.left(colon) : authority;
    }
    if (colon >= 0 && colon + 1 < authority.size()) {
        bool ok = false;
        const uint port = authority.mid(colon + 1).toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return std::nullopt;
        t.port = quint16(port);
    }
    if (t.host.isEmpty())
        return std::nullopt;
    qsizetype fragment = url.indexOf('#', end);
    t.path = url.mid(end, (fragment < 0 ? url.size() : fragment) - end);
    if (t.path.isEmpty() || t.path.startsWith('?'))
        t.path.prepend('/');
    return t;
}

// Reads one HTTP/1.1 response from the bytes as they arrive.
class ResponseReader {
public:
    enum class Framing { UntilClose, Length, Chunked, None };

    int status = 0;
    QList<QPair<QByteArray, QByteArray>> headers;
    bool headersDone = false;
    bool done = false;
    QString error;

    std::function<void()> onHeaders;               // final headers are in
    std::function<bool(const QByteArray&)> onBody; // false: stop reading

    QByteArray header(const QByteArray& name) const
    {
        for (const auto& [n, v] : headers) {
            if (n.compare(name, Qt::CaseInsensitive) == 0)
                return v;
        }
        return {};
    }
    qint64 announcedLength() const { return m_framing == Framing::Length ? m_remaining : 0; }

    void feed(const QByteArray& data)
    {
        m_buffer.append(data);
        while (!done && error.isEmpty() && step()) {
        }
    }

    // The peer closed the connection.
    void closed()
    {
        if (done || !error.isEmpty())
            return;
        if (headersDone && m_framing == Framing::UntilClose) {
            if (!m_buffer.isEmpty())
                deliver(m_buffer), m_buffer.clear();
            done = true;
            return;
        }
        error = QStringLiteral("The connection closed before the reply was complete");
    }

private:
    enum class State { StatusLine, Headers, Body, ChunkSize, ChunkData, ChunkEnd, Trailers };

    bool takeLine(QByteArray& line)
    {
        const qsizetype nl = m_buffer.indexOf('\n');
        if (nl < 0) {
            if (m_buffer.size() > kMaxHeaderBytes)
                error = QStringLiteral("The reply's header is too long");
            return false;
        }
        line = m_buffer.left(nl);
        if (line.endsWith('\r'))
            line.chop(1);
        m_buffer.remove(0, nl + 1);
        return true;
    }

    void deliver(const QByteArray& bytes)
    {
        if (onBody && !onBody(bytes))
            done = true;
    }

    void finishHeaders()
    {
        if (status >= 100 && status < 200) { // an interim reply; the real one follows
            headers.clear();
            m_state = State::StatusLine;
            return;
        }
        headersDone = true;
        const QByteArray encoding = header("Transfer-Encoding").toLower();
        const QByteArray length = header("Content-Length").trimmed();
        if (status == 204 || status == 304) {
            m_framing = Framing::None;
        } else if (encoding.contains("chunked")) {
            m_framing = Framing::Chunked;
        } else if (!length.isEmpty()) {
            bool ok = false;
            m_remaining = length.toLongLong(&ok);
            if (!ok || m_remaining < 0) {
                error = QStringLiteral("The reply's length is not a number");
                return;
            }
            m_framing = Framing::Length;
        } else {
            m_framing = Framing::UntilClose;
        }
        if (onHeaders)
            onHeaders();
        if (done || !error.isEmpty())
            return;
        switch (m_framing) {
        case Framing::None:
            done = true;
            break;
        case Framing::Length:
            m_state = State::Body;
            if (m_remaining == 0)
                done = true;
            break;
        case Framing::Chunked:
            m_state = State::ChunkSize;
            break;
        case Framing::UntilClose:
            m_state = State::Body;
            break;
        }
    }

    // One parsing step; false when more bytes are needed.
    bool step()
    {
        QByteArray line;
        switch (m_state) {
        case State::StatusLine: {
            if (!takeLine(line))
                return false;
            if (line.isEmpty())
                return true; // stray line break between replies
            const QList<QByteArray> parts = line.split(' ');
            bool ok = false;
            if (parts.size() >= 2 && parts[0].startsWith("HTTP/"))
                status = parts[1].toInt(&ok);
            if (!ok) {
                error = QStringLiteral("The server's reply is not HTTP");
                return false;
            }
            m_state = State::Headers;
            return true;
        }
        case State::Headers:
            if (!takeLine(line))
                return false;
            if (line.isEmpty()) {
                finishHeaders();
                return true;
            }
            if (const qsizetype colon = line.indexOf(':'); colon > 0)
                headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
            return true;
        case State::Body:
            if (m_buffer.isEmpty())
                return false;
            if (m_framing == Framing::Length) {
                const qsizetype take = qsizetype(qMin<qint64>(m_remaining, m_buffer.size()));
                const QByteArray piece = m_buffer.left(take);
                m_buffer.remove(0, take);
                m_remaining -= take;
                deliver(piece);
                if (m_remaining == 0)
                    done = true;
            } else {
                deliver(m_buffer);
                m_buffer.clear();
            }
            return true;
        case State::ChunkSize: {
            if (!takeLine(line))
                return false;
            const qsizetype semicolon = line.indexOf(';');
            bool ok = false;
            m_remaining = (semicolon >= 0 ? line.left(semicolon) : line).trimmed().toLongLong(&ok, 16);
            if (!ok || m_remaining < 0) {
                error = QStringLiteral("The reply's chunk size is not a number");
                return false;
            }
            m_state = m_remaining == 0 ? State::Trailers : State::ChunkData;
            return true;
        }
        case State::ChunkData: {
            if (m_buffer.isEmpty())
                return false;
            const qsizetype take = qsizetype(qMin<qint64>(m_remaining, m_buffer.size()));
            const QByteArray piece = m_buffer.left(take);
            m_buffer.remove(0, take);
            m_remaining -= take;
            deliver(piece);
            if (m_remaining == 0)
                m_state = State::ChunkEnd;
            return true;
        }
        case State::ChunkEnd:
            if (!takeLine(line))
                return false;
            m_state = State::ChunkSize;
            return true;
        case State::Trailers:
            if (!takeLine(line))
                return false;
            if (line.isEmpty())
                done = true;
            return true;
        }
        return false;
    }

    State m_state = State::StatusLine;
    Framing m_framing = Framing::UntilClose;
    qint64 m_remaining = 0;
    QByteArray m_buffer;
};

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

HttpClient::HttpClient() : m_cookies(std::make_unique<QNetworkCookieJar>()) {}

HttpClient::~HttpClient() = default;

void HttpClient::setHeader(const QByteArray& name, const QByteArray& value)
{
    for (auto& header : m_headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) {
            header.second = value;
            return;
        }
    }
    m_headers.append({name, value});
}

void HttpClient::setTimeouts(int inactivityMs, int totalMs)
{
    m_inactivityMs = inactivityMs;
    m_totalMs = totalMs;
}

QByteArray HttpClient::get(const QByteArray& url)
{
    QByteArray body;
    run(url, nullptr, &body, nullptr);
    return body;
}

void HttpClient::download(const QByteArray& url, QIODevice& sink, const Progress& progress)
{
    run(url, &sink, nullptr, &progress);
}

void HttpClient::run(QByteArray url, QIODevice* sink, QByteArray* body, const Progress* progress)
{
    QTimer deadline;
    deadline.setSingleShot(true);
    bool timedOut = false;
    if (m_totalMs > 0)
        deadline.start(m_totalMs);

    for (int redirects = 0;; ++redirects) {
        const std::optional<Target> target = parseTarget(url);
        if (!target)
            throw HttpError("Invalid URL: " + url.toStdString());
        const QUrl qurl = QUrl::fromEncoded(url);

        QByteArray request = "GET " + target->path + " HTTP/1.1\r\nHost: " + target->hostField + "\r\n";
        if (!m_userAgent.isEmpty())
            request += "User-Agent: " + m_userAgent + "\r\n";
        for (const auto& [name, value] : m_headers)
            request += name + ": " + value + "\r\n";
        const QList<QNetworkCookie> cookies = m_cookies->cookiesForUrl(qurl);
        if (!cookies.isEmpty()) {
            QByteArray line;
            for (const QNetworkCookie& c : cookies)
                line += (line.isEmpty() ? "" : "; ") + c.toRawForm(QNetworkCookie::NameAndValueOnly);
            request += "Cookie: " + line + "\r\n";
        }
        request += "Connection: close\r\n\r\n";

        std::unique_ptr<QTcpSocket> socket(target->tls ? new QSslSocket : new QTcpSocket);
        QEventLoop loop;
        ResponseReader reader;
        QString failure;
        qint64 received = 0;
        bool begun = false;
        QByteArray location;

        auto fail = [&](const QString& why) {
            if (failure.isEmpty())
                failure = why;
            loop.quit();
        };
        reader.onHeaders = [&] {
            for (const auto& [name, value] : reader.headers) {
                if (name.compare("Set-Cookie", Qt::CaseInsensitive) == 0)
                    m_cookies->setCookiesFromUrl(QNetworkCookie::parseCookies(value), qurl);
            }
            if (isRedirect(reader.status) && !reader.header("Location").isEmpty()) {
                location = reader.header("Location");
                reader.done = true;
                return;
            }
            if (reader.status >= 400 || reader.status < 200 || reader.status >= 300) {
                reader.error = QStringLiteral("HTTP error %1").arg(reader.status);
                return;
            }
            begun = true;
            if (progress && progress->begin)
                progress->begin(reader.announcedLength());
        };
        reader.onBody = [&](const QByteArray& piece) {
            if (!begun || piece.isEmpty())
                return true;
            received += piece.size();
            if (body)
                body->append(piece);
            if (sink && sink->write(piece) != piece.size()) {
                reader.error = QStringLiteral("Cannot write the downloaded data: %1").arg(sink->errorString());
                return false;
            }
            if (progress && progress->progress)
                progress->progress(received);
            return true;
        };

        QTimer idle;
        idle.setSingleShot(true);
        auto onActivity = [&] { idle.start(m_inactivityMs); };
        auto check = [&] {
            if (!reader.error.isEmpty())
                fail(reader.error);
            else if (reader.done)
                loop.quit();
        };
        QObject::connect(&idle, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            fail(QStringLiteral("The request timed out"));
        });
        QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            fail(QStringLiteral("The request timed out"));
        });
        QObject::connect(socket.get(), &QTcpSocket::connected, &loop, [&] {
            if (!target->tls) {
                onActivity();
                socket->write(request);
            }
        });
        if (target->tls) {
            QObject::connect(static_cast<QSslSocket*>(socket.get()), &QSslSocket::encrypted, &loop, [&] {
                onActivity();
                socket->write(request);
            });
        }
        QObject::connect(socket.get(), &QTcpSocket::readyRead, &loop, [&] {
            onActivity();
            reader.feed(socket->readAll());
            check();
        });
        QObject::connect(socket.get(), &QTcpSocket::disconnected, &loop, [&] {
            if (socket->isOpen() && socket->bytesAvailable() > 0)
                reader.feed(socket->readAll());
            reader.closed();
            check();
        });
        QObject::connect(socket.get(), &QAbstractSocket::errorOccurred, &loop, [&](QAbstractSocket::SocketError error) {
            if (error == QAbstractSocket::RemoteHostClosedError)
                return; // handled as the end of the connection
            fail(socket->errorString());
        });
        // A worker asked to stop gives up its request instead of waiting for it.
        QTimer interruptPoll;
        QObject::connect(&interruptPoll, &QTimer::timeout, &loop, [&] {
            if (QThread::currentThread()->isInterruptionRequested())
                fail(QStringLiteral("The request was cancelled"));
        });
        interruptPoll.start(kInterruptPollMs);

        onActivity();
        if (target->tls)
            static_cast<QSslSocket*>(socket.get())
                ->connectToHostEncrypted(QString::fromLatin1(target->host), target->port);
        else
            socket->connectToHost(QString::fromLatin1(target->host), target->port);
        if (failure.isEmpty() && !reader.done)
            loop.exec();

        socket->abort();
        if (begun && progress && progress->end && failure.isEmpty())
            progress->end();
        if (!failure.isEmpty())
            throw HttpError(failure.toStdString());
        if (!reader.done)
            throw HttpError(timedOut ? "The request timed out" : "The request did not complete");
        if (location.isEmpty())
            return;
        if (redirects >= kMaxRedirects)
            throw HttpError("Too many redirects");
        url = qurl.resolved(QUrl::fromEncoded(location)).toEncoded();
    }
}

} // namespace platform
