// The HTTP client against a real loopback server.

#include "platform/Errors.h"
#include "platform/HttpClient.h"
#include "platform/Wait.h"
#include "tests/support/Fixtures.h"
#include "tests/support/LoopbackServer.h"

#include <QBuffer>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTest>
#include <QThread>

#include <chrono>
#include <thread>

using platform::HttpClient;
using platform::HttpError;
using testsupport::LoopbackServer;

class TestHttp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void getReturnsTheWholeBody();
    void urlGoesOutByteForByte_data();
    void urlGoesOutByteForByte();
    void sendsUserAgentAndHeaders();
    void failures_data();
    void failures();
    void refusedConnectionFails();
    void controlBytesNeverReachTheWire();
    void inactivityTimesOut();
    void cookiesStayWithTheirClient();
    void followsRedirects();
    void honoursTheProxyVariables();
    void downloadReportsProgress();
    void downloadFailsOnBrokenBody();
    void worksOnAWorkerAndStopsWhenAsked();
    void serverStoppedAtOnceEnds();

private:
    LoopbackServer m_server;
    QByteArray m_reply;
};

void TestHttp::initTestCase()
{
    m_reply = testsupport::fixture(QStringLiteral("replies/ItemSearch-reply.xml"));
    auto& s = m_server.server();
    s.Get("/onca/xml", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(m_reply.toStdString(), "text/xml");
    });
    s.Get("/echo-headers", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_header_value("User-Agent") + "|" + req.get_header_value("Accept") + "|" +
                            req.get_header_value("Cache-control"),
                        "text/plain");
    });
    s.Get("/status/(\\d+)", [](const httplib::Request& req, httplib::Response& res) {
        res.status = std::stoi(req.matches[1]);
        res.set_content("<ItemSearchResponse><Items/></ItemSearchResponse>", "text/xml");
    });
    s.Get("/truncated", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(1000, "text/xml", [](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset > 0)
                return false; // the connection breaks after the first part
            sink.write("<partial>", 9);
            return true;
        });
    });
    s.Get("/chunked", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
            if (offset < 30) {
                sink.write("0123456789", 10);
            } else {
                sink.done();
            }
            return true;
        });
    });
    s.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        res.set_content("late", "text/plain");
    });
    s.Get("/cookie/set", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "session=abc123; Path=/");
        res.set_content("set", "text/plain");
    });
    s.Get("/cookie/get", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_header_value("Cookie"), "text/plain");
    });
    // Locations as a server may write them.
    s.Get("/redirect/absolute-path", [](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", "/b/../c/%2E/onca%2Fxml?k=caf%E9+%7E");
    });
    s.Get("/dir/redirect", [](const httplib::Request&, httplib::Response& res) {
        res.status = 302;
        res.set_header("Location", "next%2E?q=1");
    });
    s.Get("/cookie/then-redirect", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "hop=1; Path=/");
        res.set_redirect("/cookie/get");
    });
    s.Get("/moved", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/onca/xml?x=1"); });
    s.Get("/file", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(std::string(300000, 'z'), "application/octet-stream");
    });
    m_server.start();
}

void TestHttp::cleanupTestCase()
{
    m_server.stop();
}

void TestHttp::getReturnsTheWholeBody()
{
    HttpClient client;
    QCOMPARE(client.get(m_server.url("/onca/xml?Service=AWSECommerceService")), m_reply);
    QCOMPARE(client.get(m_server.url("/chunked")), QByteArray("012345678901234567890123456789"));
}

void TestHttp::urlGoesOutByteForByte_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QList<QByteArray>>("targets");
    const QByteArray query = "/onca/xml?Service=AWSECommerceService&Version=2005-07-26&SearchIndex=Books"
                             "&Keywords=C%2B%2B+books+%2D%2E%5F%7E+caf%E9&ResponseGroup=Accessories,Tracks";
    QTest::newRow("query") << query << QList<QByteArray>{query};
    QTest::newRow("dot segments and escapes") << QByteArray("/a/./b/../%2e%2E/c%2Fd?x=%7e&y=/../")
                                              << QList<QByteArray>{"/a/./b/../%2e%2E/c%2Fd?x=%7e&y=/../"};
    QTest::newRow("fragment left out") << QByteArray("/onca/xml?a=1#part") << QList<QByteArray>{"/onca/xml?a=1"};
    // The server's Location goes out as the server wrote it.
    QTest::newRow("after a redirect") << QByteArray("/redirect/absolute-path")
                                      << QList<QByteArray>{"/redirect/absolute-path",
                                                           "/b/../c/%2E/onca%2Fxml?k=caf%E9+%7E"};
    QTest::newRow("after a relative redirect")
        << QByteArray("/dir/redirect?x=1") << QList<QByteArray>{"/dir/redirect?x=1", "/dir/next%2E?q=1"};
}

void TestHttp::urlGoesOutByteForByte()
{
    QFETCH(QByteArray, path);
    QFETCH(QList<QByteArray>, targets);
    m_server.clearRequests();
    HttpClient client;
    try {
        client.get(m_server.url(path));
    } catch (const HttpError&) {
        // Most of these paths lead nowhere on this server; what was sent counts.
    }
    QCOMPARE(m_server.targets(), targets);
}

void TestHttp::sendsUserAgentAndHeaders()
{
    HttpClient client;
    client.setUserAgent("Quobex 1.0.8.49 Linux");
    client.setHeader("Accept", "text/html, */*");
    client.setHeader("Cache-control", "no-cache");
    QCOMPARE(client.get(m_server.url("/echo-headers")), QByteArray("Quobex 1.0.8.49 Linux|text/html, */*|no-cache"));
}

void TestHttp::failures_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("404 with a body") << QByteArray("/status/404");
    QTest::newRow("500 with a body") << QByteArray("/status/500");
    QTest::newRow("503") << QByteArray("/status/503");
    QTest::newRow("truncated body") << QByteArray("/truncated");
}

void TestHttp::failures()
{
    QFETCH(QByteArray, path);
    HttpClient client;
    QVERIFY_THROWS_EXCEPTION(HttpError, client.get(m_server.url(path)));
}

void TestHttp::refusedConnectionFails()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close(); // nobody listens there now
    HttpClient client;
    QVERIFY_THROWS_EXCEPTION(HttpError, client.get("http://127.0.0.1:" + QByteArray::number(port) + "/"));
    QVERIFY_THROWS_EXCEPTION(HttpError, client.get("not a url"));
}

void TestHttp::controlBytesNeverReachTheWire()
{
    m_server.clearRequests();
    HttpClient client;
    QVERIFY_THROWS_EXCEPTION(HttpError, client.get(m_server.url("/onca/xml?ItemId=1\r\nX-Injected: yes")));
    QVERIFY_THROWS_EXCEPTION(HttpError, client.get(m_server.url("/onca/xml?ItemId=1\n")));
    QVERIFY_THROWS_EXCEPTION(HttpError, client.get(m_server.url(QByteArray("/onca/xml?ItemId=1\0x", 20))));
    QVERIFY(m_server.targets().isEmpty());
}

void TestHttp::inactivityTimesOut()
{
    HttpClient client;
    client.setTimeouts(300, 0);
    QElapsedTimer clock;
    clock.start();
    QVERIFY_THROWS_EXCEPTION(HttpError, client.get(m_server.url("/slow")));
    QVERIFY(clock.elapsed() < 1400);

    HttpClient overall;
    overall.setTimeouts(10000, 300);
    QVERIFY_THROWS_EXCEPTION(HttpError, overall.get(m_server.url("/slow")));
}

void TestHttp::cookiesStayWithTheirClient()
{
    HttpClient first;
    first.get(m_server.url("/cookie/set"));
    QCOMPARE(first.get(m_server.url("/cookie/get")), QByteArray("session=abc123"));
    // One set on the way through a redirect is kept and sent on at once.
    QCOMPARE(first.get(m_server.url("/cookie/then-redirect")), QByteArray("session=abc123; hop=1"));
    HttpClient second;
    QCOMPARE(second.get(m_server.url("/cookie/get")), QByteArray());
}

void TestHttp::followsRedirects()
{
    HttpClient client;
    QCOMPARE(client.get(m_server.url("/moved")), m_reply);
}

void TestHttp::honoursTheProxyVariables()
{
    // The loopback server stands in for the proxy: it sees the whole address.
    const QByteArray url = "http://shop.test/a/../onca/xml?Keywords=caf%E9+%7E";
    m_server.clearRequests();
    const QByteArray proxyBefore = qgetenv("http_proxy");
    const QByteArray noProxyBefore = qgetenv("no_proxy");
    const auto restore = qScopeGuard([&] {
        for (const auto& [name, value] : {std::pair{"http_proxy", proxyBefore}, std::pair{"no_proxy", noProxyBefore}}) {
            if (value.isEmpty())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    });
    qputenv("http_proxy", m_server.url(""));
    qputenv("no_proxy", "127.0.0.2");
    HttpClient client;
    QVERIFY_THROWS_EXCEPTION(HttpError, client.get(url));                   // the stand-in knows no such page
    QVERIFY_THROWS_EXCEPTION(HttpError, client.get("http://127.0.0.2:1/")); // refused, not proxied
    QCOMPARE(m_server.targets(), QList<QByteArray>{url});
}

void TestHttp::downloadReportsProgress()
{
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    qint64 total = -1;
    QList<qint64> counts;
    int ends = 0;
    HttpClient client;
    client.download(m_server.url("/file"), sink,
                    {[&](qint64 t) { total = t; }, [&](qint64 c) { counts.append(c); }, [&] { ++ends; }});
    QCOMPARE(total, 300000);
    QCOMPARE(sink.data(), QByteArray(300000, 'z'));
    QVERIFY(!counts.isEmpty());
    QCOMPARE(counts.last(), 300000);
    QVERIFY(std::is_sorted(counts.begin(), counts.end()));
    QCOMPARE(ends, 1);
}

void TestHttp::downloadFailsOnBrokenBody()
{
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    HttpClient client;
    int ends = 0;
    QVERIFY_THROWS_EXCEPTION(HttpError, client.download(m_server.url("/truncated"), sink, {{}, {}, [&] { ++ends; }}));
    QCOMPARE(ends, 0);
}

void TestHttp::worksOnAWorkerAndStopsWhenAsked()
{
    QByteArray body;
    bool stopped = false;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        HttpClient client;
        body = client.get(m_server.url("/onca/xml"));
        try {
            client.get(m_server.url("/slow"));
        } catch (const HttpError&) {
            stopped = true;
        }
    }));
    worker->start();
    QTest::qWait(300);
    worker->requestInterruption();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(worker->wait(5000));
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(body, m_reply);
    QVERIFY(stopped);
}

// A test case that ends before sending any request stops its server right
// after starting it; that must never leave the listening thread behind.
void TestHttp::serverStoppedAtOnceEnds()
{
    // Each round is bounded on its own: a thread left behind shows as a
    // stop that hangs, while the total of 200 rounds depends on the machine.
    for (int i = 0; i < 200; ++i) {
        QElapsedTimer clock;
        clock.start();
        LoopbackServer server;
        server.start();
        server.stop();
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    }
}

QTEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"
