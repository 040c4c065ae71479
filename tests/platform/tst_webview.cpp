// The embedded page view: background fetches, pictures that arrive late,
// links that leave the view, and nothing that runs.

#include "platform/ui/WebView.h"
#include "tests/support/LinkPoints.h"
#include "tests/support/LoopbackServer.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

using platform::ui::WebView;
using testsupport::LoopbackServer;

namespace {

// Holds a server's reply back until the test lets it go.
class Gate {
public:
    void wait()
    {
        std::unique_lock lock(m_mutex);
        ++m_waiting;
        m_changed.notify_all();
        // Bounded, so a check that fails before the test opens the gate can
        // never leave the server's thread here for good.
        m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_open; });
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    int waiting()
    {
        std::lock_guard lock(m_mutex);
        return m_waiting;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    int m_waiting = 0;
};

// Opens the gate when the test ends, before the server stops.
struct GateOpener {
    std::shared_ptr<Gate> gate;
    ~GateOpener() { gate->open(); }
};

QByteArray pngOf(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void servePage(LoopbackServer& server, const char* path, const char* html)
{
    server.server().Get(
        path, [html](const httplib::Request&, httplib::Response& res) { res.set_content(html, "text/html"); });
}

void showView(WebView& view)
{
    view.resize(500, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
}

} // namespace

class TestWebView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void newestPageWins_data();
    void newestPageWins();
    void failedNavigationShowsFallback_data();
    void failedNavigationShowsFallback();
    void picturesArriveLaterAndAreKept();
    void picturesLoadAFewAtATime();
    void deepPagesAreNotShown_data();
    void deepPagesAreNotShown();
    void nothingRunsOrLoadsFromElsewhere();
    void bareHexColoursAreRead();
    void linksAreReportedNotFollowed_data();
    void linksAreReportedNotFollowed();
};

void TestWebView::newestPageWins_data()
{
    QTest::addColumn<bool>("generated");
    QTest::newRow("a later navigation") << false;
    QTest::newRow("a generated page") << true;
}

void TestWebView::newestPageWins()
{
    QFETCH(bool, generated);
    LoopbackServer server;
    auto gate = std::make_shared<Gate>();
    server.server().Get("/slow", [gate](const httplib::Request&, httplib::Response& res) {
        gate->wait();
        res.set_content("<p>slow page</p>", "text/html");
    });
    servePage(server, "/fast", "<p>fast page</p>");
    server.start();
    GateOpener opener{gate};

    WebView view;
    showView(view);
    QSignalSpy loaded(&view, &WebView::pageLoaded);
    // Returns while the server still holds the page back.
    view.Navigate(server.url("/slow"));
    QVERIFY(view.isLoading());
    QTRY_COMPARE(gate->waiting(), 1);
    if (generated) {
        view.ShowHtml("<p>generated page</p>");
    } else {
        view.Navigate(server.url("/fast"));
        QTRY_COMPARE(loaded.count(), 1);
    }
    QVERIFY(!view.isLoading());
    const QString shown = generated ? QStringLiteral("generated page") : QStringLiteral("fast page");
    QCOMPARE(view.toPlainText(), shown);
    QCOMPARE(view.currentAddress(), generated ? QByteArray() : server.url("/fast"));

    // The late page comes (or its fetch was given up) and changes nothing.
    gate->open();
    QTest::qWait(300);
    QCOMPARE(view.toPlainText(), shown);
    QCOMPARE(loaded.count(), generated ? 0 : 1);
}

void TestWebView::failedNavigationShowsFallback_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("nobody listens") << QByteArray();
    QTest::newRow("error status") << QByteArray("/missing");
}

void TestWebView::failedNavigationShowsFallback()
{
    QFETCH(QByteArray, path);
    LoopbackServer server;
    server.start();
    WebView view;
    view.setFallbackPage(QStringLiteral("<p>Built-in help</p>"));
    QSignalSpy loaded(&view, &WebView::pageLoaded);
    view.Navigate(path.isEmpty() ? QByteArray("http://127.0.0.1:9/exe/help/index.html") : server.url(path));
    QTRY_COMPARE(loaded.count(), 1);
    QCOMPARE(loaded.at(0).at(0).toBool(), false);
    QCOMPARE(view.toPlainText(), QStringLiteral("Built-in help"));
    QVERIFY(!view.isLoading());
}

void TestWebView::picturesArriveLaterAndAreKept()
{
    LoopbackServer server;
    auto gate = std::make_shared<Gate>();
    const std::string picture = pngOf(107, 160).toStdString();
    server.server().Get("/pic.png", [gate, picture](const httplib::Request&, httplib::Response& res) {
        gate->wait();
        res.set_content(picture, "image/png");
    });
    server.start();
    GateOpener opener{gate};

    WebView view;
    showView(view);
    QSignalSpy arrived(&view, &WebView::imageLoaded);
    const QByteArray page = "<p>before</p><img src=\"" + server.url("/pic.png") + "\"><p>after</p>";
    view.ShowHtml(page);
    // The page shows at once, its picture still on its way.
    QCOMPARE(view.toPlainText().remove(QChar::ObjectReplacementCharacter), QStringLiteral("before\nafter"));
    QCOMPARE(view.pendingImages(), 1);
    const qreal heightWithout = view.document()->size().height();
    QVERIFY(heightWithout < 160);

    gate->open();
    QTRY_COMPARE(arrived.count(), 1);
    QCOMPARE(arrived.at(0).at(1).toBool(), true);
    QCOMPARE(view.pendingImages(), 0);
    QVERIFY(view.document()->size().height() >= heightWithout + 120);

    // The same page again needs no second fetch.
    view.ShowHtml("<p>other</p>");
    view.ShowHtml(page);
    QCOMPARE(view.pendingImages(), 0);
    QVERIFY(view.document()->size().height() >= heightWithout + 120);
    QCOMPARE(server.targets(), QList<QByteArray>{"/pic.png"});
}

void TestWebView::picturesLoadAFewAtATime()
{
    struct Load {
        std::mutex mutex;
        int running = 0;
        int mostAtOnce = 0;
    };
    auto load = std::make_shared<Load>(); // outlives the server's threads
    LoopbackServer server;
    auto first = std::make_shared<Gate>();
    auto second = std::make_shared<Gate>();
    const std::string picture = pngOf(10, 10).toStdString();
    server.server().Get("/first/(\\d+)\\.png", [first, picture](const httplib::Request&, httplib::Response& res) {
        first->wait();
        res.set_content(picture, "image/png");
    });
    server.server().Get("/second/(\\d+)\\.png",
                        [load, second, picture](const httplib::Request&, httplib::Response& res) {
                            {
                                std::lock_guard lock(load->mutex);
                                load->mostAtOnce = std::max(load->mostAtOnce, ++load->running);
                            }
                            second->wait();
                            {
                                std::lock_guard lock(load->mutex);
                                --load->running;
                            }
                            res.set_content(picture, "image/png");
                        });
    server.server().Get("/final.png", [picture](const httplib::Request&, httplib::Response& res) {
        res.set_content(picture, "image/png");
    });
    server.start();
    GateOpener openFirst{first};
    GateOpener openSecond{second};
    const auto pageOf = [&](const QByteArray& folder) {
        QByteArray page;
        for (int i = 0; i < 10; ++i)
            page += "<img src=\"" + server.url(folder + QByteArray::number(i) + ".png") + "\">";
        return page;
    };

    WebView view;
    showView(view);
    QSignalSpy arrived(&view, &WebView::imageLoaded);
    view.ShowHtml(pageOf("/first/"));
    QTRY_COMPARE(first->waiting(), WebView::kMaxImageFetches);
    QCOMPARE(view.pendingImages(), 10);

    // A new page drops the pictures still waiting; those under way end.
    view.ShowHtml("<img src=\"" + server.url("/final.png") + "\">");
    QTRY_COMPARE(arrived.count(), 1);
    QCOMPARE(arrived.at(0).at(0).toString(), QString::fromLatin1(server.url("/final.png")));
    QCOMPARE(view.pendingImages(), 0);
    QCOMPARE(server.targets().size(), WebView::kMaxImageFetches + 1);
    first->open(); // the server's threads go back to its pool

    // Ten pictures all arrive, never more than a few fetched at once.
    view.ShowHtml(pageOf("/second/"));
    QTRY_COMPARE(second->waiting(), WebView::kMaxImageFetches);
    second->open();
    QTRY_COMPARE_WITH_TIMEOUT(arrived.count(), 11, 20000);
    QCOMPARE(view.pendingImages(), 0);
    std::lock_guard lock(load->mutex);
    QCOMPARE(load->mostAtOnce, WebView::kMaxImageFetches);
}

void TestWebView::deepPagesAreNotShown_data()
{
    QTest::addColumn<QByteArray>("open");
    QTest::addColumn<QByteArray>("close");
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("shown");
    QTest::newRow("nested tables") << QByteArray("<table><tr><td>") << QByteArray("</td></tr></table>") << 100000
                                   << false;
    QTest::newRow("unclosed bold") << QByteArray("<b>") << QByteArray() << 100000 << false;
    QTest::newRow("closing tags of nothing") << QByteArray("<div></i>") << QByteArray() << 100000 << false;
    QTest::newRow("lists at the bound") << QByteArray("<ul><li>") << QByteArray("</ul>") << WebView::kMaxNesting
                                        << true;
    QTest::newRow("many paragraphs") << QByteArray("<p>para") << QByteArray() << 5000 << true;
    QTest::newRow("many closed elements")
        << QByteArray("<div><span>t</span><br></div>") << QByteArray() << 5000 << true;
}

void TestWebView::deepPagesAreNotShown()
{
    QFETCH(QByteArray, open);
    QFETCH(QByteArray, close);
    QFETCH(int, depth);
    QFETCH(bool, shown);
    QByteArray page;
    page.reserve((open.size() + close.size()) * depth + 8);
    for (int i = 0; i < depth; ++i)
        page += open;
    page += "inner";
    for (int i = 0; i < depth; ++i)
        page += close;

    LoopbackServer server;
    const std::string served = page.toStdString();
    server.server().Get(
        "/page", [served](const httplib::Request&, httplib::Response& res) { res.set_content(served, "text/html"); });
    server.start();

    WebView view;
    view.setFallbackPage(QStringLiteral("<p>Built-in help</p>"));
    view.ShowHtml(page);
    QCOMPARE(view.toPlainText().contains(QLatin1String("inner")), shown);
    QCOMPARE(view.toPlainText().contains(QLatin1String("too deeply")), !shown);

    QSignalSpy loaded(&view, &WebView::pageLoaded);
    view.Navigate(server.url("/page"));
    QTRY_COMPARE(loaded.count(), 1);
    QCOMPARE(loaded.at(0).at(0).toBool(), shown);
    QCOMPARE(view.toPlainText().contains(QLatin1String("inner")), shown);
}

void TestWebView::nothingRunsOrLoadsFromElsewhere()
{
    LoopbackServer server;
    server.start();
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("local.png"));
    QVERIFY(QImage::fromData(pngOf(300, 300)).save(local));
    const QByteArray elsewhere = server.url("");

    WebView view;
    showView(view);
    view.ShowHtml("<p>text<script>document.write('SCRIPT RAN')</script></p>"
                  "<img src=\"" +
                  QUrl::fromLocalFile(local).toEncoded() +
                  "\">"
                  "<img src=\"" +
                  local.toLocal8Bit() +
                  "\">"
                  "<link rel=\"stylesheet\" href=\"" +
                  elsewhere +
                  "/style.css\">"
                  "<iframe src=\"" +
                  elsewhere +
                  "/frame.html\"></iframe>"
                  "<object data=\"" +
                  elsewhere +
                  "/plugin.swf\"></object>"
                  "<embed src=\"" +
                  elsewhere +
                  "/plugin2.swf\">"
                  "<p><a href=\"" +
                  elsewhere + "/link.html\">a link</a></p>");
    QTest::qWait(100);
    QVERIFY(!view.toPlainText().contains(QLatin1String("SCRIPT RAN")));
    // The local pictures stay out: the page is no higher than its text.
    QVERIFY(view.document()->size().height() < 150);
    QCOMPARE(view.pendingImages(), 0);
    QCOMPARE(server.targets(), QList<QByteArray>());
}

void TestWebView::bareHexColoursAreRead()
{
    WebView view;
    view.ShowHtml("<p>Price: <font color=\"cc0000\">red</font> <font color=\"#006699\">blue</font></p>");
    QTextCursor cursor = view.document()->find(QStringLiteral("red"));
    QCOMPARE(cursor.charFormat().foreground().color(), QColor(0xcc, 0x00, 0x00));
    cursor = view.document()->find(QStringLiteral("blue"));
    QCOMPARE(cursor.charFormat().foreground().color(), QColor(0x00, 0x66, 0x99));
}

void TestWebView::linksAreReportedNotFollowed_data()
{
    QTest::addColumn<QString>("href");
    QTest::addColumn<bool>("fromServer");
    QTest::addColumn<QString>("reported"); // with SERVER for the server's address

    const QString redirect = QStringLiteral("http://127.0.0.1:9/exe/frame/frame.php?keyword=harry+potter&type=Books"
                                            "&country=U%2ES%2EA%2E&url=http%3A%2F%2Fwww%2Eamazon%2Ecom%2F");
    QTest::newRow("encoded query stays as written") << redirect << false << redirect;
    QTest::newRow("secure page") << "https://example.org/a?b=%7E" << false << "https://example.org/a?b=%7E";
    QTest::newRow("script link") << "javascript:alert(1)" << false << "";
    QTest::newRow("local file") << "file:///etc/passwd" << false << "";
    QTest::newRow("relative, generated page") << "other.html" << false << "";
    QTest::newRow("relative, fetched page") << "../../tell/index.php" << true << "SERVER/tell/index.php";
    QTest::newRow("anchor in the page") << "#top" << false << "";
}

void TestWebView::linksAreReportedNotFollowed()
{
    QFETCH(QString, href);
    QFETCH(bool, fromServer);
    QFETCH(QString, reported);
    const QByteArray page = "<p><a name=\"top\"></a>Links</p><p><a href=\"" + href.toLatin1() + "\">follow me</a></p>";
    LoopbackServer server;
    server.server().Get("/exe/help/index.html", [page](const httplib::Request&, httplib::Response& res) {
        res.set_content(page.toStdString(), "text/html");
    });
    server.start();

    WebView view;
    showView(view);
    if (fromServer) {
        QSignalSpy loaded(&view, &WebView::pageLoaded);
        view.Navigate(server.url("/exe/help/index.html"));
        QTRY_COMPARE(loaded.count(), 1);
    } else {
        view.ShowHtml(page);
    }
    const QString before = view.toPlainText();
    QSignalSpy links(&view, &WebView::linkActivated);
    const QPoint at = testsupport::pointOfLink(&view, href);
    QVERIFY2(at.x() >= 0, "the link is nowhere on the page");
    // From the keyboard, then with the mouse.
    view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&view));
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Tab);
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at);

    if (reported.isEmpty()) {
        QCOMPARE(links.count(), 0);
    } else {
        const QString address = QString(reported).replace(QLatin1String("SERVER"), QString::fromLatin1(server.url("")));
        QCOMPARE(links.count(), 2);
        QCOMPARE(links.at(0).at(0).toString(), address);
        QCOMPARE(links.at(1).at(0).toString(), address);
    }
    QCOMPARE(view.toPlainText(), before);
    QCOMPARE(server.targets().size(), fromServer ? 1 : 0);
}

QTEST_MAIN(TestWebView)
#include "tst_webview.moc"
