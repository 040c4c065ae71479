// What a hostile server can send: headers or a body without end, a huge
// announced length trickled out, a reply nested 100 000 elements deep, a
// redirect loop. Each request fails within its limits and time-outs, memory
// stays bounded, and the next request on the same client works.

#include "quobex/engine/FetchSession.h"

#include "platform/Errors.h"
#include "platform/HttpClient.h"
#include "platform/XmlDocument.h"
#include "tests/engine/TestEndpoints.h"
#include "tests/support/FakeWebService.h"
#include "tests/support/Fixtures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

using namespace quobex;
using platform::HttpClient;
using platform::HttpError;
using testsupport::FakeWebService;

// Under AddressSanitizer freed memory is held back (256 MB by default) to
// catch late uses, and stays resident: a measure of what the client keeps
// must not count it.
extern "C" __attribute__((used)) const char* __asan_default_options()
{
    return "quarantine_size_mb=8";
}

namespace {

// A loopback server that writes raw bytes, for replies no well-behaved HTTP
// server library would send. Each connection runs on a thread of its own;
// every wait is bounded and every write stops when the client has gone or
// the server stops.
class RawServer {
public:
    // Writes the reply for a request target; false from `send` means stop.
    using Handler = std::function<void(const QByteArray& target, const std::function<bool(const QByteArray&)>& send,
                                       const std::atomic<bool>& stopping)>;

    explicit RawServer(Handler handler) : m_handler(std::move(handler))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            qFatal("cannot listen on loopback");
        m_port = ntohs(address.sin_port);
        // Listening already: a client may connect as soon as this returns.
        m_acceptor = std::thread([this] { acceptLoop(); });
    }

    ~RawServer()
    {
        m_stopping = true;
        m_acceptor.join();
        std::lock_guard lock(m_mutex);
        for (std::thread& t : m_connections)
            t.join();
        ::close(m_listener);
    }

    QByteArray url(const QByteArray& path) const { return "http://127.0.0.1:" + QByteArray::number(m_port) + path; }
    int connections() const { return m_accepted; }

private:
    void acceptLoop()
    {
        while (!m_stopping) {
            pollfd p{m_listener, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int fd = ::accept(m_listener, nullptr, nullptr);
            if (fd < 0)
                continue;
            ++m_accepted;
            std::lock_guard lock(m_mutex);
            m_connections.emplace_back([this, fd] { serve(fd); });
        }
    }

    void serve(int fd)
    {
        QByteArray request;
        char buffer[4096];
        while (!m_stopping && !request.contains("\r\n\r\n") && request.size() < 65536) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            request.append(buffer, qsizetype(got));
        }
        const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
        const auto send = [this, fd](const QByteArray& bytes) {
            qsizetype sent = 0;
            while (sent < bytes.size()) {
                if (m_stopping)
                    return false;
                pollfd p{fd, POLLOUT, 0};
                if (::poll(&p, 1, 20) <= 0)
                    continue;
                const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
                if (n <= 0)
                    return false;
                sent += n;
            }
            return true;
        };
        if (requestLine.size() >= 2)
            m_handler(requestLine[1], send, m_stopping);
        ::shutdown(fd, SHUT_WR);
        ::close(fd);
    }

    Handler m_handler;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_accepted{0};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::list<std::thread> m_connections;
};

// Waits about `ms`, or less when the server stops.
bool pause(int ms, const std::atomic<bool>& stopping)
{
    for (int waited = 0; waited < ms && !stopping; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return !stopping;
}

void hostileReply(const QByteArray& target, const std::function<bool(const QByteArray&)>& send,
                  const std::atomic<bool>& stopping)
{
    if (target == "/endless-headers") {
        if (!send("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n"))
            return;
        const QByteArray line = "X-Filler: " + QByteArray(1000, 'h') + "\r\n";
        while (send(line)) {
        }
    } else if (target == "/endless-interim-replies") {
        const QByteArray interim = "HTTP/1.1 100 Continue\r\nX-Filler: " + QByteArray(1000, 'i') + "\r\n\r\n";
        while (send(interim)) {
        }
    } else if (target == "/endless-body") {
        if (!send("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n"))
            return;
        const QByteArray piece(64 * 1024, 'b');
        while (send(piece)) {
        }
    } else if (target == "/endless-chunks") {
        if (!send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"))
            return;
        const QByteArray chunk = "10000\r\n" + QByteArray(0x10000, 'c') + "\r\n";
        while (send(chunk)) {
        }
    } else if (target == "/huge-trickle") {
        if (!send("HTTP/1.1 200 OK\r\nContent-Length: 1000000000000\r\n\r\n"))
            return;
        while (pause(20, stopping) && send("t")) {
        }
    } else if (target == "/slow-trickle") {
        // Always something new before the inactivity limit, never the end.
        if (!send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"))
            return;
        while (pause(50, stopping) && send("s")) {
        }
    } else if (target == "/silent") {
        pause(60000, stopping);
    } else if (target == "/loop") {
        send("HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    } else if (target == "/to-file") {
        send("HTTP/1.1 302 Found\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n\r\n");
    } else {
        send("HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nhealthy");
    }
}

// Resident memory, and its peak, of this process in bytes.
qint64 statusValue(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

// Counts what it is given and keeps none of it.
class CountingSink : public QIODevice {
public:
    qint64 written = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 size) override
    {
        written += size;
        return size;
    }
};

QByteArray searchReply(const QByteArray& items)
{
    return "<ItemSearchResponse><Items><Request><IsValid>True</IsValid></Request>" + items +
           "</Items></ItemSearchResponse>";
}

// A product whose attributes nest `depth` elements below ItemAttributes.
QByteArray nestedItem(int depth)
{
    QByteArray attributes;
    attributes.reserve(depth * 7 + 16);
    for (int i = 0; i < depth; ++i)
        attributes += "<a>";
    attributes += "x";
    for (int i = 0; i < depth; ++i)
        attributes += "</a>";
    return "<Item><ASIN>DEEP000001</ASIN><ItemAttributes>" + attributes + "</ItemAttributes></Item>";
}

constexpr int kInactivityMs = 1500;
constexpr int kTotalMs = 3000;
// Far above what a loaded machine adds to a time-out, far below a hang.
constexpr int kLateMs = 5000;
constexpr qint64 kMemoryBound = 100 * 1024 * 1024;

} // namespace

class TestHostileServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void repliesFailWithinLimits_data();
    void repliesFailWithinLimits();
    void downloadStopsAtItsLimit_data();
    void downloadStopsAtItsLimit();
    void depthBoundOfReplies_data();
    void depthBoundOfReplies();
    void deeplyNestedSearchReplyIsRefused();
    void memoryStayedBounded();

private:
    std::unique_ptr<RawServer> m_server;
    qint64 m_residentAtStart = 0;
};

void TestHostileServer::initTestCase()
{
    m_server = std::make_unique<RawServer>(hostileReply);
    m_residentAtStart = statusValue("VmRSS:");
    QVERIFY(m_residentAtStart > 0);
}

void TestHostileServer::cleanupTestCase()
{
    m_server.reset();
}

void TestHostileServer::repliesFailWithinLimits_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("why"); // part of the failure's message
    QTest::newRow("endless headers") << QByteArray("/endless-headers") << QStringLiteral("header");
    QTest::newRow("endless interim replies") << QByteArray("/endless-interim-replies") << QStringLiteral("header");
    QTest::newRow("endless body") << QByteArray("/endless-body") << QStringLiteral("limit");
    QTest::newRow("endless chunks") << QByteArray("/endless-chunks") << QStringLiteral("limit");
    // Refused on its announced length, long before a time-out.
    QTest::newRow("10^12 bytes announced, trickled") << QByteArray("/huge-trickle") << QStringLiteral("size");
    QTest::newRow("a byte at a time, forever") << QByteArray("/slow-trickle") << QStringLiteral("timed out");
    QTest::newRow("silence") << QByteArray("/silent") << QStringLiteral("timed out");
    QTest::newRow("redirect loop") << QByteArray("/loop") << QStringLiteral("redirects");
    QTest::newRow("redirect to a file") << QByteArray("/to-file") << QStringLiteral("Invalid URL");
}

void TestHostileServer::repliesFailWithinLimits()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, why);
    HttpClient client;
    client.setTimeouts(kInactivityMs, kTotalMs);
    QElapsedTimer clock;
    clock.start();
    QString message;
    try {
        client.get(m_server->url(path));
        QFAIL("a hostile reply was accepted");
    } catch (const HttpError& e) {
        message = QString::fromStdString(e.what());
    }
    QVERIFY2(message.contains(why, Qt::CaseInsensitive), qPrintable(message));
    QVERIFY2(clock.elapsed() < kTotalMs + kLateMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(statusValue("VmHWM:") - m_residentAtStart < kMemoryBound,
             qPrintable(QString::number(statusValue("VmHWM:") - m_residentAtStart)));
    // The client is still good for the next request.
    QCOMPARE(client.get(m_server->url("/healthy")), QByteArray("healthy"));
}

void TestHostileServer::downloadStopsAtItsLimit_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("endless body") << QByteArray("/endless-body");
    QTest::newRow("endless chunks") << QByteArray("/endless-chunks");
    QTest::newRow("10^12 bytes announced") << QByteArray("/huge-trickle");
}

void TestHostileServer::downloadStopsAtItsLimit()
{
    QFETCH(QByteArray, path);
    constexpr qint64 limit = 8 * 1024 * 1024;
    HttpClient client;
    client.setTimeouts(kInactivityMs, kTotalMs);
    client.setMaxBodyBytes(limit);
    CountingSink sink;
    sink.open(QIODevice::WriteOnly);
    int ends = 0;
    QVERIFY_THROWS_EXCEPTION(HttpError, client.download(m_server->url(path), sink, {{}, {}, [&] { ++ends; }}));
    QVERIFY2(sink.written <= limit, qPrintable(QString::number(sink.written)));
    QCOMPARE(ends, 0);

    CountingSink healthy;
    healthy.open(QIODevice::WriteOnly);
    client.download(m_server->url("/healthy"), healthy, {{}, {}, [&] { ++ends; }});
    QCOMPARE(healthy.written, 7);
    QCOMPARE(ends, 1);
}

void TestHostileServer::depthBoundOfReplies_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("readable");
    QTest::newRow("at the bound") << platform::XmlDocument::kMaxDepth << true;
    QTest::newRow("one past it") << platform::XmlDocument::kMaxDepth + 1 << false;
    QTest::newRow("100 000 deep") << 100000 << false;
}

void TestHostileServer::depthBoundOfReplies()
{
    QFETCH(int, depth);
    QFETCH(bool, readable);
    QByteArray xml;
    for (int i = 0; i < depth; ++i)
        xml += "<e>";
    for (int i = 0; i < depth; ++i)
        xml += "</e>";
    platform::XmlDocument document;
    if (readable) {
        document.load(xml);
        QCOMPARE(document.documentElement().tagName(), QStringLiteral("e"));
    } else {
        QVERIFY_THROWS_EXCEPTION(platform::XmlError, document.load(xml));
        QVERIFY(document.documentElement().isNull());
    }
}

void TestHostileServer::deeplyNestedSearchReplyIsRefused()
{
    FakeWebService service;
    service.setSearchReply("deep", FakeWebService::Reply::xml(searchReply(nestedItem(100000))));
    // As deep as a reply may go: ItemSearchResponse, Items, Item and
    // ItemAttributes take four levels.
    const int deepest = platform::XmlDocument::kMaxDepth - 4;
    service.setSearchReply("deepest", FakeWebService::Reply::xml(searchReply(nestedItem(deepest))));
    service.setDefaultReply(FakeWebService::Reply::fixture(QStringLiteral("replies/ItemSearch-ten-items.xml")));
    AlertTree tree;
    QList<QByteArray> newTitles;
    FetchSession session(Endpoints::loopback(service.hostAndPort(), service.hostAndPort()), tree, newTitles);

    QElapsedTimer clock;
    clock.start();
    // Only that alert's search fails, as any reply that does not parse.
    QCOMPARE(session.SearchKeywordAlert("Books", "deep", "U.S.A.").kind, CheckFailure::Kind::Unparseable);
    // The DOM is never built: refused in a streaming pass (minutes before).
    QVERIFY2(clock.elapsed() < kLateMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(newTitles.isEmpty());

    // The deepest readable reply renders its lists without recursion.
    session.SearchKeywordAlert("Books", "deepest", "U.S.A.");
    QCOMPARE(newTitles.size(), 1);
    const AlertNode* alert =
        session.findAlertNode({QStringLiteral("Books"), QStringLiteral("deepest"), QStringLiteral("U.S.A.")});
    QVERIFY(alert);
    const QString details = alert->child(0)->data.ProductDetails;
    QCOMPARE(details.count(QLatin1String("<ul>")), deepest);
    QCOMPARE(details.count(QLatin1String("</ul>")), deepest);
    QVERIFY(details.startsWith(QLatin1String("<ul><li><strong>a</strong><ul><li><strong>a</strong>")));
    QVERIFY(details.contains(QLatin1String("<li><strong>a</strong>: x</li></ul></li></ul>")));

    // The next request goes on as usual.
    session.SearchKeywordAlert("Books", "next", "U.S.A.");
    QCOMPARE(newTitles.size(), 11);
}

void TestHostileServer::memoryStayedBounded()
{
    const qint64 grown = statusValue("VmHWM:") - m_residentAtStart;
    qInfo("peak resident growth over all hostile replies: %lld MiB", grown / (1024 * 1024));
    QVERIFY2(grown < kMemoryBound, qPrintable(QString::number(grown)));
}

QTEST_GUILESS_MAIN(TestHostileServer)
#include "tst_hostile_server.moc"
