// The details box of the main window: what a selection shows, the read
// marks, and every link that leads out of the program.

#include "platform/ui/WebView.h"
#include "quobex/shell/MainForm.h"
#include "quobex/store/AlertTreeView.h"
#include "tests/support/AppHarness.h"
#include "tests/support/LinkPoints.h"
#include "tests/support/LoopbackServer.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using quobex::AlertNode;
using quobex::TfrmMainForm;
using testsupport::AppHarness;
using testsupport::LoopbackServer;

namespace {

// The detail pages of the two products, as the store sends them and as the
// maker's redirect page receives them.
constexpr char kDetailPage1[] = "http://www.amazon.com/exec/obidos/redirect?tag=sample-20&path=0000000101";
constexpr char kDetailPage2[] = "http://www.amazon.com/exec/obidos/redirect?tag=sample-20&path=0000000102";
constexpr char kEncoded1[] =
    "http%3A%2F%2Fwww%2Eamazon%2Ecom%2Fexec%2Fobidos%2Fredirect%3Ftag%3Dsample%2D20%26path%3D0000000101";
constexpr char kEncoded2[] =
    "http%3A%2F%2Fwww%2Eamazon%2Ecom%2Fexec%2Fobidos%2Fredirect%3Ftag%3Dsample%2D20%26path%3D0000000102";

const QColor kPictureColour(0x2e, 0x8b, 0x57);
const QColor kStarColour(0xff, 0xb4, 0x00);

// Books > harry potter (U.S.A.) > two unread products, as a keyword search
// leaves them.
struct Nodes {
    AlertNode* group = nullptr;
    AlertNode* alert = nullptr;
    AlertNode* first = nullptr;
    AlertNode* second = nullptr;
};

Nodes fillTree(TfrmMainForm* form, const QString& imageBase = QStringLiteral("http://127.0.0.1:9"))
{
    quobex::AlertTree& tree = form->Tree;
    Nodes n;
    n.group = tree.AddChild(tree.root());
    n.alert = tree.AddChild(n.group);
    for (AlertNode* node : {n.group, n.alert}) {
        node->data.Keyword = QStringLiteral("harry potter");
        node->data.ItemType = QStringLiteral("Books");
        node->data.Localization = QStringLiteral("U.S.A.");
        node->data.IsNew = node->data.IsRead = QStringLiteral("false");
        node->data.Reserved = -1;
        node->data.NewCount = 2;
        node->data.UnreadCount = 2;
    }
    n.second = tree.InsertFirstChild(n.alert);
    n.first = tree.InsertFirstChild(n.alert);
    int asin = 101;
    for (AlertNode* item : {n.first, n.second}) {
        quobex::TAlertNodeData& d = item->data;
        d.Keyword = QStringLiteral("harry potter");
        d.ItemType = QStringLiteral("Books");
        d.Localization = QStringLiteral("U.S.A.");
        d.ASIN = QStringLiteral("0000000%1").arg(asin);
        d.DetailPageURL = QString::fromLatin1(item == n.first ? kDetailPage1 : kDetailPage2);
        d.IsNew = QStringLiteral("true");
        d.IsRead = QStringLiteral("false");
        d.ByLine = QStringLiteral("Ada Example");
        d.ListPrice = QStringLiteral("$19.99");
        d.Price = QStringLiteral("$14.99");
        d.EditorialReview = QStringLiteral("A <i>practical</i> guide to the sample world, with "
                                           "<script>document.write('SCRIPT RAN')</script>exercises.");
        d.ProductDetails = QStringLiteral("<ul><li><strong>Author</strong>: Ada Example</li><li><strong>"
                                          "Binding</strong>: Paperback</li><li><strong>NumberOfPages</strong>: "
                                          "480</li><li><strong>Publisher</strong>: Sample Press</li></ul>");
        d.Offers = QStringLiteral("<strong>LowestNewPrice</strong>: <font color=\"cc0000\"><strong>$14.99</strong>"
                                  "</font><br><strong>TotalNew</strong>: <font color=\"cc0000\">31</font><br>");
        d.ImageURL = imageBase + QStringLiteral("/images/P/%1.01.MZZZZZZZ.jpg").arg(d.ASIN);
        d.RatingImageURL = imageBase + QStringLiteral("/images/stars-4-0.gif");
        ++asin;
    }
    n.first->data.Title = QStringLiteral("Learning Sample Programming");
    n.second->data.Title = QStringLiteral("Sample Programming Cookbook");
    return n;
}

QByteArray png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A book cover in one colour that no widget uses, so the grab shows whether it arrived.
QByteArray pictureBytes()
{
    QImage cover(107, 160, QImage::Format_RGB32);
    cover.fill(kPictureColour);
    QPainter p(&cover);
    p.setPen(Qt::white);
    p.drawRect(6, 6, 94, 147);
    p.drawText(cover.rect(), Qt::AlignCenter, QStringLiteral("SAMPLE\nPROGRAMMING"));
    return png(cover);
}

QByteArray starsBytes()
{
    QImage stars(64, 12, QImage::Format_ARGB32);
    stars.fill(Qt::white);
    QPainter p(&stars);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < 5; ++i)
        p.fillRect(i * 13 + 1, 1, 10, 10, i < 4 ? kStarColour : QColor(Qt::lightGray));
    return png(stars);
}

void serveImages(LoopbackServer& server)
{
    const std::string picture = pictureBytes().toStdString();
    const std::string stars = starsBytes().toStdString();
    server.server().Get(R"(/images/P/.*)", [picture](const httplib::Request&, httplib::Response& res) {
        res.set_content(picture, "image/png");
    });
    server.server().Get("/images/stars-4-0.gif", [stars](const httplib::Request&, httplib::Response& res) {
        res.set_content(stars, "image/png");
    });
}

int pixelsOf(const QImage& image, const QColor& colour)
{
    const QRgb wanted = colour.rgb();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) == (wanted & 0xffffff))
                ++count;
        }
    }
    return count;
}

QStringList browserCalls(const AppHarness& app)
{
    QStringList out;
    for (const auto& call : app.shell.calls) {
        if (call.kind == QLatin1String("browser"))
            out.append(call.target);
    }
    return out;
}

} // namespace

class TestPresentWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void selectionShowsItemOrHelp_data();
    void selectionShowsItemOrHelp();
    void readingLowersUnreadCountsOnce();
    void moreInfoOpensSelectedItem_data();
    void moreInfoOpensSelectedItem();
    void selectingInTheTreeDrivesPageAndMoreInfo();
    void tellFriendAndContactOpenMakerPages();
    void pictureOpensRedirectWithoutCountry();
    void helpPageFromServerOrBuiltIn();
    void productPageWithPictures();
};

void TestPresentWindow::initTestCase()
{
    QLocale::setDefault(QLocale::c());
}

void TestPresentWindow::selectionShowsItemOrHelp_data()
{
    QTest::addColumn<QString>("selected");
    QTest::newRow("item") << "item";
    QTest::newRow("group") << "group";
    QTest::newRow("alert") << "alert";
    QTest::newRow("none") << "none";
}

void TestPresentWindow::selectionShowsItemOrHelp()
{
    QFETCH(QString, selected);
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    const Nodes n = fillTree(form);

    // Coming from another product's page, so that a non-item clears it.
    form->vtvCurrentAlertsChange(n.second);
    QCOMPARE(form->CurrentItemNode, n.second);

    AlertNode* node = selected == QLatin1String("item")    ? n.first
                      : selected == QLatin1String("group") ? n.group
                      : selected == QLatin1String("alert") ? n.alert
                                                           : nullptr;
    form->vtvCurrentAlertsChange(node);
    if (node == n.first) {
        QCOMPARE(form->CurrentItemNode, n.first);
        QVERIFY(form->btnBuy->isEnabled());
        QVERIFY(form->wbPicture->currentAddress().isEmpty());
        const QString text = form->wbPicture->toPlainText();
        QVERIFY(text.contains(QLatin1String("Learning Sample Programming")));
        QVERIFY(text.contains(QLatin1String("by Ada Example")));
        QVERIFY(text.contains(QLatin1String("You Save: 5 (25.01%)")));
        // Product texts are shown, never run.
        QVERIFY(!text.contains(QLatin1String("SCRIPT RAN")));
    } else {
        QCOMPARE(form->CurrentItemNode, nullptr);
        QVERIFY(!form->btnBuy->isEnabled());
        QCOMPARE(form->wbPicture->currentAddress(), form->helpPageAddress());
        QVERIFY(!form->wbPicture->toPlainText().contains(QLatin1String("Learning Sample Programming")));
    }
}

void TestPresentWindow::readingLowersUnreadCountsOnce()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    const Nodes n = fillTree(form);
    n.second->data.IsRead.clear(); // neither read nor unread

    form->vtvCurrentAlertsChange(n.first);
    QCOMPARE(n.first->data.IsRead, QStringLiteral("true"));
    QCOMPARE(n.first->data.IsNew, QStringLiteral("true"));
    QCOMPARE(n.alert->data.UnreadCount, 1);
    QCOMPARE(n.group->data.UnreadCount, 1);

    form->vtvCurrentAlertsChange(n.group);
    form->vtvCurrentAlertsChange(n.first);
    QCOMPARE(n.alert->data.UnreadCount, 1);
    QCOMPARE(n.group->data.UnreadCount, 1);

    form->vtvCurrentAlertsChange(n.second);
    QCOMPARE(n.second->data.IsRead, QStringLiteral("true"));
    QCOMPARE(n.alert->data.UnreadCount, 1);
    QCOMPARE(n.group->data.UnreadCount, 1);
    QCOMPARE(n.alert->data.NewCount, 2);
}

void TestPresentWindow::moreInfoOpensSelectedItem_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QStringList>("opened");

    const QString redirect = QStringLiteral("http://127.0.0.1:9/exe/frame/frame.php?");
    const QString first = QString::fromLatin1(kEncoded1);
    const QString second = QString::fromLatin1(kEncoded2);
    QTest::newRow("nothing selected") << "none"
                                      << "harry potter" << QStringList();
    QTest::newRow("group selected") << "group"
                                    << "harry potter" << QStringList();
    QTest::newRow("alert selected") << "alert"
                                    << "harry potter" << QStringList();
    QTest::newRow("item selected") << "item"
                                   << "harry potter"
                                   << QStringList{redirect +
                                                  "keyword=harry+potter&type=Books&country=U%2ES%2EA%2E&url=" + first};
    QTest::newRow("keyword outside ASCII")
        << "item"
        << "caf\u00e9 cr\u00e8me"
        << QStringList{redirect + "keyword=caf%E9+cr%E8me&type=Books&country=U%2ES%2EA%2E&url=" + first};
    // The selection counts, whatever page showed last.
    QTest::newRow("selection moved on")
        << "second"
        << "harry potter"
        << QStringList{redirect + "keyword=harry+potter&type=Books&country=U%2ES%2EA%2E&url=" + second};
}

void TestPresentWindow::moreInfoOpensSelectedItem()
{
    QFETCH(QString, selected);
    QFETCH(QString, keyword);
    QFETCH(QStringList, opened);
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    const Nodes n = fillTree(form);
    n.first->data.Keyword = keyword;

    AlertNode* node = selected == QLatin1String("item")     ? n.first
                      : selected == QLatin1String("second") ? n.second
                      : selected == QLatin1String("group")  ? n.group
                      : selected == QLatin1String("alert")  ? n.alert
                                                            : nullptr;
    if (selected == QLatin1String("second")) {
        form->vtvCurrentAlertsChange(n.first);
        n.second->selected = true; // the tree moved on, its change not yet handled
    } else {
        form->vtvCurrentAlertsChange(node);
        if (node)
            node->selected = true;
    }
    QCOMPARE(form->firstSelectedNode(), node);

    if (form->btnBuy->isEnabled())
        QTest::mouseClick(form->btnBuy, Qt::LeftButton);
    else
        form->btnBuyClick(); // the handler checks the selection itself
    QCOMPARE(browserCalls(app), opened);
}

void TestPresentWindow::selectingInTheTreeDrivesPageAndMoreInfo()
{
    // What the user does: click rows of the tree, then "More Info".
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    const Nodes n = fillTree(form);
    form->vtvCurrentAlerts->selectNode(n.second);
    QCOMPARE(form->CurrentItemNode, n.second);
    QVERIFY(form->btnBuy->isEnabled());
    QCOMPARE(n.second->data.IsRead, QStringLiteral("true"));
    QTest::mouseClick(form->btnBuy, Qt::LeftButton);
    QCOMPARE(browserCalls(app).size(), 1);
    QVERIFY(browserCalls(app)[0].contains(QStringLiteral("&url=")));

    form->vtvCurrentAlerts->selectNode(n.alert);
    QCOMPARE(form->CurrentItemNode, nullptr);
    QVERIFY(!form->btnBuy->isEnabled());
    form->btnBuyClick();
    QCOMPARE(browserCalls(app).size(), 1); // nothing for an alert node

    form->vtvCurrentAlerts->selectNode(n.first);
    form->Tree.DeleteNode(n.first); // gone while its page shows
    QCOMPARE(form->CurrentItemNode, nullptr);
    form->btnBuyClick();
    QCOMPARE(browserCalls(app).size(), 1);
}

void TestPresentWindow::tellFriendAndContactOpenMakerPages()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    QCOMPARE(form->btnContact->text(), QStringLiteral("Contact Quobex Software"));
    QTest::mouseClick(form->btnTellFriend, Qt::LeftButton);
    QTest::mouseClick(form->btnContact, Qt::LeftButton);
    QCOMPARE(browserCalls(app), (QStringList{QStringLiteral("http://127.0.0.1:9/tell/index.php"),
                                             QStringLiteral("http://127.0.0.1:9/main/contact.php")}));
}

void TestPresentWindow::pictureOpensRedirectWithoutCountry()
{
    LoopbackServer images;
    serveImages(images);
    images.start();
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    const Nodes n = fillTree(form, QString::fromLatin1(images.url("")));
    n.first->data.Keyword = QStringLiteral("caf\u00e9");

    QSignalSpy loaded(form->wbPicture, &platform::ui::WebView::imageLoaded);
    form->vtvCurrentAlertsChange(n.first);
    QTRY_COMPARE(loaded.count(), 2);
    const QString text = form->wbPicture->toPlainText();

    const QString link = QStringLiteral("http://127.0.0.1:9/exe/frame/frame.php?keyword=caf%E9&type=Books&url=") +
                         QString::fromLatin1(kEncoded1);
    const QPoint at = testsupport::pointOfLink(form->wbPicture, link);
    QVERIFY2(at.x() >= 0, "the picture link is nowhere on the page");
    QTest::mouseClick(form->wbPicture->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(browserCalls(app), QStringList{link});
    // Nothing is followed inside the view.
    QCOMPARE(form->wbPicture->toPlainText(), text);
    QVERIFY(form->wbPicture->currentAddress().isEmpty());
    QVERIFY(!form->wbPicture->isLoading());
}

void TestPresentWindow::helpPageFromServerOrBuiltIn()
{
    for (const bool reachable : {true, false}) {
        LoopbackServer maker;
        maker.server().Get("/exe/help/index.html", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<html><body><p>Online help of the maker</p></body></html>", "text/html");
        });
        maker.start();
        AppHarness app;
        if (reachable)
            app.endpoints = quobex::Endpoints::loopback("127.0.0.1:9", maker.hostAndPort());
        app.start();
        TfrmMainForm* form = app.form();
        QCOMPARE(form->wbPicture->currentAddress(), form->helpPageAddress());
        if (reachable) {
            QTRY_VERIFY(form->wbPicture->toPlainText().contains(QLatin1String("Online help of the maker")));
            QCOMPARE(maker.targets(), QList<QByteArray>{"/exe/help/index.html"});
        } else {
            QTRY_VERIFY(form->wbPicture->toPlainText().contains(QLatin1String("online help could not be reached")));
            const QString text = form->wbPicture->toPlainText();
            QVERIFY(text.contains(QLatin1String("Add Alert")));
            QVERIFY(text.contains(QLatin1String("unread")));
        }
    }
}

void TestPresentWindow::productPageWithPictures()
{
    LoopbackServer server;
    serveImages(server);
    server.server().Get("/exe/help/index.html", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html><body><p>Help</p></body></html>", "text/html");
    });
    server.start();

    QFile style(QStringLiteral(":/quobex/quobex.qss"));
    QVERIFY(style.open(QIODevice::ReadOnly));
    qApp->setStyleSheet(QString::fromUtf8(style.readAll()));

    AppHarness app;
    app.endpoints = quobex::Endpoints::loopback(server.hostAndPort(), server.hostAndPort());
    app.start();
    TfrmMainForm* form = app.form();
    form->resize(900, 620);
    const Nodes n = fillTree(form, QString::fromLatin1(server.url("")));
    QTRY_VERIFY(!form->wbPicture->isLoading()); // the help page is in

    QSignalSpy loaded(form->wbPicture, &platform::ui::WebView::imageLoaded);
    form->vtvCurrentAlertsChange(n.first);
    QTRY_COMPARE(loaded.count(), 2);
    QCOMPARE(form->wbPicture->pendingImages(), 0);
    QTest::qWait(50); // let the new layout paint

    const QImage shot = form->grab().toImage();
    shot.save(QStringLiteral(QUOBEX_SCREENSHOT_DIR "/product-page.png"));
    // The cover (107 x 160) and four stars (10 x 10 each) are on screen.
    QVERIFY(pixelsOf(shot, kPictureColour) > 107 * 160 / 2);
    QVERIFY(pixelsOf(shot, kStarColour) >= 4 * 10 * 10);

    // Shown again, the pictures come from the view's own store at once.
    server.clearRequests();
    form->vtvCurrentAlertsChange(n.group);
    form->vtvCurrentAlertsChange(n.first);
    QCOMPARE(form->wbPicture->pendingImages(), 0);
    QTRY_VERIFY(!form->wbPicture->isLoading());
    for (const QByteArray& target : server.targets())
        QVERIFY2(target.startsWith("/exe/help/"), target.constData());
    qApp->setStyleSheet(QString());
}

QTEST_MAIN(TestPresentWindow)
#include "tst_present_window.moc"
