#include "quobex/engine/ItemFragments.h"
#include "quobex/engine/ItemReader.h"

#include "platform/Errors.h"
#include "platform/XmlDocument.h"
#include "tests/engine/TestEndpoints.h"
#include "tests/support/Fixtures.h"

#include <QTest>

using namespace quobex;
using platform::XmlDocument;
using platform::XmlError;

namespace {

const QString kStore = QStringLiteral("http://store.test");

QString stars(const char* name)
{
    return QStringLiteral("http://img.test/images/G/01/x-locale/common/customer-reviews/stars-%1.gif")
        .arg(QLatin1String(name));
}

// A track link as the sample list writes it.
QString link(const char* asin, const char* disc, const char* track, const char* title)
{
    return QLatin1String("<a href=\"http://store.test/exec/obidos/clipserve/") + QLatin1String(asin) +
           QLatin1String("00") + QLatin1String(disc) + QLatin1String("00") + QLatin1String(track) +
           QLatin1String("/0/102-4638172-9460945\">Listen ") + QString::fromUtf8(title) + QLatin1String("</a><br>");
}

} // namespace

class TestItems : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void attributeList_data();
    void attributeList();
    void offerSummary_data();
    void offerSummary();
    void trackList();
    void trackWithoutNumberFails_data();
    void trackWithoutNumberFails();

    void itemOfOnlyAnAsin();
    void itemFromAReply();
    void byLine_data();
    void byLine();
    void rating_data();
    void rating();
    void tracksOnlyWhenPresent();
    void twoEditorialReviews();
    void lookupsCompleteTheItem();
    void faultKeepsTheSlotsReadBefore_data();
    void faultKeepsTheSlotsReadBefore();
    void detailsLeaveAsinAndTitle();

private:
    QDomElement parse(const QByteArray& xml)
    {
        m_doc.load(xml);
        return m_doc.documentElement();
    }
    TAlertNodeData read(const QByteArray& itemXml, ItemReadMode mode = ItemReadMode::NewItem)
    {
        TAlertNodeData record;
        ReadItemElement(parse(itemXml), record, testEndpoints(), mode);
        return record;
    }

    XmlDocument m_doc;
};

void TestItems::attributeList_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("html");
    QTest::newRow("nested list and ListPrice")
        << QByteArray("<ItemAttributes><Author>A</Author><ItemDimensions><Height>100</Height><Weight>50</Weight>"
                      "</ItemDimensions><ListPrice><Amount>999</Amount><FormattedPrice>9.99</FormattedPrice>"
                      "</ListPrice></ItemAttributes>")
        << QStringLiteral("<ul><li><strong>Author</strong>: A</li><li><strong>ItemDimensions</strong><ul><li><strong>"
                          "Height</strong>: 100</li><li><strong>Weight</strong>: 50</li></ul></li><li><strong>ListPrice"
                          "</strong>: 9.99</li></ul>");
    QTest::newRow("no children") << QByteArray("<ItemAttributes Units=\"x\"/>") << QStringLiteral("<ul></ul>");
    QTest::newRow("empty child") << QByteArray("<ItemAttributes><Title/></ItemAttributes>")
                                 << QStringLiteral("<ul><li><strong>Title</strong>: </li></ul>");
    QTest::newRow("two authors")
        << QByteArray("<ItemAttributes><Author>A</Author><Author>B</Author></ItemAttributes>")
        << QStringLiteral("<ul><li><strong>Author</strong>: A</li><li><strong>Author</strong>: B</li></ul>");
    QTest::newRow("texts are not escaped")
        << QByteArray("<ItemAttributes><Title>Tom &amp; Jerry &lt;b&gt;</Title><Label><![CDATA[<i>x</i>]]></Label>"
                      "</ItemAttributes>")
        << QStringLiteral("<ul><li><strong>Title</strong>: Tom & Jerry <b></li><li><strong>Label</strong>: <i>x</i>"
                          "</li></ul>");
    QTest::newRow("ListPrice at any depth, even without FormattedPrice")
        << QByteArray("<ItemAttributes><Package><Box><ListPrice><FormattedPrice>$1</FormattedPrice></ListPrice>"
                      "</Box><ListPrice/></Package></ItemAttributes>")
        << QStringLiteral("<ul><li><strong>Package</strong><ul><li><strong>Box</strong><ul><li><strong>ListPrice"
                          "</strong>: $1</li></ul></li><li><strong>ListPrice</strong>: </li></ul></li></ul>");
    QTest::newRow("text beside elements")
        << QByteArray("<ItemAttributes>loose<Title>T</Title></ItemAttributes>")
        << QStringLiteral("<ul><li><strong>#text</strong>: loose</li><li><strong>Title</strong>: T</li></ul>");
}

void TestItems::attributeList()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, html);
    QCOMPARE(RenderAttributeList(parse(xml)), html);
}

void TestItems::offerSummary_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("html");
    QTest::newRow("lowest price and a count")
        << QByteArray("<OfferSummary><LowestNewPrice><Amount>500</Amount><FormattedPrice>5.00</FormattedPrice>"
                      "</LowestNewPrice><TotalNew>12</TotalNew></OfferSummary>")
        << QStringLiteral("<strong>LowestNewPrice</strong>: <font color=\"cc0000\"><strong>5.00</strong></font><br>"
                          "<strong>TotalNew</strong>: <font color=\"cc0000\">12</font><br>");
    QTest::newRow("all four lowest prices, one without FormattedPrice")
        << QByteArray("<OfferSummary><LowestUsedPrice><Amount>1</Amount></LowestUsedPrice><LowestCollectiblePrice>"
                      "<FormattedPrice>$2</FormattedPrice></LowestCollectiblePrice><LowestRefurbishedPrice>"
                      "<FormattedPrice>$3</FormattedPrice></LowestRefurbishedPrice><LowestNewPrice><FormattedPrice>"
                      "$4</FormattedPrice></LowestNewPrice></OfferSummary>")
        << QStringLiteral("<strong>LowestUsedPrice</strong>: <font color=\"cc0000\"><strong></strong></font><br>"
                          "<strong>LowestCollectiblePrice</strong>: <font color=\"cc0000\"><strong>$2</strong></font>"
                          "<br><strong>LowestRefurbishedPrice</strong>: <font color=\"cc0000\"><strong>$3</strong>"
                          "</font><br><strong>LowestNewPrice</strong>: <font color=\"cc0000\"><strong>$4</strong>"
                          "</font><br>");
    QTest::newRow("no children") << QByteArray("<OfferSummary/>") << QString();
    QTest::newRow("editorial reviews")
        << QByteArray("<EditorialReviews><EditorialReview><Source>S1</Source><Content>A &lt;i&gt;b&lt;/i&gt;"
                      "</Content></EditorialReview><EditorialReview><Source>S2</Source><Content/></EditorialReview>"
                      "</EditorialReviews>")
        << QStringLiteral("<strong>EditorialReview</strong><ul><li><strong>Source</strong>: S1</li><li><strong>"
                          "Content</strong>: A <i>b</i></li></ul><br><strong>EditorialReview</strong><ul><li><strong>"
                          "Source</strong>: S2</li><li><strong>Content</strong>: </li></ul><br>");
}

void TestItems::offerSummary()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, html);
    QCOMPARE(RenderOfferSummary(parse(xml)), html);
}

void TestItems::trackList()
{
    const QDomElement item = parse("<Item><ASIN>B0X</ASIN><Tracks><Disc Number=\"1\"><Track Number=\"1\">One</Track>"
                                   "<Track Number=\"12\">Twelve &amp; more</Track></Disc><Disc Number=\"2\">"
                                   "<Track Number=\"1\">Encore</Track><Track Number=\"2\"/></Disc>"
                                   "<Disc Number=\"3\"/></Tracks></Item>");
    const QDomElement tracks = item.firstChildElement(QStringLiteral("Tracks"));
    QCOMPARE(RenderTrackList(tracks, kStore),
             QStringLiteral("<p><strong>Listen to Samples</strong><br><br>Disk 1<br>") + link("B0X", "1", "1", "One") +
                 link("B0X", "1", "12", "Twelve & more") + QStringLiteral("<br>Disk 2<br>") +
                 link("B0X", "2", "1", "Encore") + link("B0X", "2", "2", "") + QStringLiteral("<br>Disk 3<br></p>"));
    // Each disc's block holds that disc's links only.
    QCOMPARE(RenderDiscTracks(tracks.lastChildElement().previousSiblingElement(), QStringLiteral("7"), kStore),
             link("B0X", "7", "1", "Encore") + link("B0X", "7", "2", ""));
}

void TestItems::trackWithoutNumberFails_data()
{
    QTest::addColumn<QByteArray>("tracks");
    QTest::newRow("disc without Number") << QByteArray("<Tracks><Disc><Track Number=\"1\">A</Track></Disc></Tracks>");
    QTest::newRow("empty disc without Number") << QByteArray("<Tracks><Disc/></Tracks>");
    QTest::newRow("track without Number")
        << QByteArray("<Tracks><Disc Number=\"1\"><Track Number=\"1\">A</Track><Track>B</Track></Disc></Tracks>");
    QTest::newRow("text among the discs") << QByteArray("<Tracks><Disc Number=\"1\"/>stray</Tracks>");
}

void TestItems::trackWithoutNumberFails()
{
    QFETCH(QByteArray, tracks);
    const QDomElement item = parse("<Item><ASIN>B0X</ASIN>" + tracks + "</Item>");
    QVERIFY_THROWS_EXCEPTION(XmlError, RenderTrackList(item.firstChildElement(QStringLiteral("Tracks")), kStore));
}

void TestItems::itemOfOnlyAnAsin()
{
    TAlertNodeData expected;
    expected.ASIN = QStringLiteral("0000000001");
    expected.ProductDetails = QStringLiteral("<ul><li><strong>Title</strong>: </li></ul>");
    expected.ReviewOffers =
        QStringLiteral("<strong>EditorialReview</strong><ul><li><strong>Content</strong>: </li></ul><br>");
    expected.RatingImageURL = stars("0-0");
    const TAlertNodeData record = read("<Item><ASIN>0000000001</ASIN></Item>");
    QCOMPARE(record, expected);
}

void TestItems::itemFromAReply()
{
    const QDomElement reply = parse(testsupport::fixture(QStringLiteral("replies/ItemSearch-reply.xml")));
    const QDomElement items = reply.firstChildElement(QStringLiteral("Items"));
    TAlertNodeData book;
    ReadItemElement(items.firstChildElement(QStringLiteral("Item")), book, testEndpoints());
    QCOMPARE(book.ASIN, QStringLiteral("0000000101"));
    QCOMPARE(book.Title, QStringLiteral("Learning Sample Programming"));
    QVERIFY(book.DetailPageURL.startsWith(QLatin1String("http://www.amazon.com/exec/obidos/redirect?tag=")));
    QCOMPARE(book.EditorialReview, QStringLiteral("A <i>practical</i> introduction."));
    QCOMPARE(book.ImageURL, QStringLiteral("http://images.amazon.com/images/P/0000000101.01._SCMZZZZZZZ_.jpg"));
    QVERIFY(book.ProductDetails.startsWith(QLatin1String("<ul><li><strong>Author</strong>: Ada Example</li>")));
    QVERIFY(book.ProductDetails.contains(QLatin1String("<li><strong>ListPrice</strong>: $39.95</li>")));
    QVERIFY(book.ProductDetails.endsWith(
        QLatin1String("<li><strong>Title</strong>: Learning Sample Programming</li></ul>")));
    QVERIFY(book.Offers.startsWith(
        QLatin1String("<strong>LowestNewPrice</strong>: <font color=\"cc0000\"><strong>$26.37</strong></font><br>")));
    QCOMPARE(book.ReviewOffers,
             QStringLiteral("<strong>EditorialReview</strong><ul><li><strong>Source</strong>: Product Description</li>"
                            "<li><strong>Content</strong>: A <i>practical</i> introduction.</li></ul><br>"));
    QCOMPARE(book.ListPrice, QStringLiteral("$39.95"));
    QCOMPARE(book.Price, QStringLiteral("$26.37"));
    QCOMPARE(book.ByLine, QStringLiteral("Ada Example"));
    QCOMPARE(book.Tracks, QString());
    QCOMPARE(book.RatingImageURL, stars("4-0"));
    QCOMPARE(book.Keyword, QString()); // the caller's slots stay untouched
    QCOMPARE(book.IsNew, QString());

    TAlertNodeData album;
    ReadItemElement(items.lastChildElement(QStringLiteral("Item")), album, testEndpoints());
    QCOMPARE(album.RatingImageURL, stars("4-5"));
    QVERIFY(album.Tracks.startsWith(QLatin1String("<p><strong>Listen to Samples</strong><br><br>Disk 1<br>")));
    QVERIFY(album.Tracks.contains(link(qPrintable(album.ASIN), "2", "1", "Encore")));
}

void TestItems::byLine_data()
{
    QTest::addColumn<QByteArray>("attributes");
    QTest::addColumn<QString>("byLine");
    QTest::newRow("Author beats Studio") << QByteArray("<Studio>S</Studio><Author>A</Author>") << QStringLiteral("A");
    QTest::newRow("an empty Creator does not count") << QByteArray("<Actor>X</Actor><Creator/>") << QStringLiteral("X");
    QTest::newRow("the order of the names, not of the reply")
        << QByteArray("<Director>D</Director><Artist>R</Artist><Actor>X</Actor>") << QStringLiteral("D");
    QTest::newRow("the first Author counts")
        << QByteArray("<Author>A1</Author><Author>A2</Author>") << QStringLiteral("A1");
    QTest::newRow("none") << QByteArray("<Composer>C</Composer>") << QString();
}

void TestItems::byLine()
{
    QFETCH(QByteArray, attributes);
    QFETCH(QString, byLine);
    const TAlertNodeData record = read("<Item><ItemAttributes>" + attributes + "</ItemAttributes></Item>");
    QCOMPARE(record.ByLine, byLine);
    // The names looked up for it come after the attribute list and never show there.
    QVERIFY(!record.ProductDetails.contains(QLatin1String("<li><strong>Studio</strong>: </li>")));
}

void TestItems::rating_data()
{
    QTest::addColumn<QByteArray>("reviews");
    QTest::addColumn<QString>("stars");
    auto row = [](const char* name, const QByteArray& rating, const char* part) {
        QTest::newRow(name) << "<CustomerReviews><AverageRating>" + rating + "</AverageRating></CustomerReviews>"
                            << QString::fromLatin1(part);
    };
    row("4.0", "4.0", "4-0");
    row("4", "4", "4-0");
    row("3.5", "3.5", "3-5");
    row("0.5", "0.5", "0-5");
    row("4.25: 42.5 goes to the even 42", "4.25", "4-0");
    row("4.75: 47.5 goes to the even 48", "4.75", "4-5");
    row("4.3", "4.3", "4-0");
    row("4.8", "4.8", "4-5");
    row("5", "5", "5-0");
    row("just above half rounds up", "4.7500001", "4-5");
    row("4.45 decimal, not binary", "4.45", "4-0");
    row("4.55", "4.55", "4-5");
    row("two digits need no .0", "10", "10");
    row("rounding carries", "9.96", "10");
    row("leading zeros and other characters", " 004.5 stars", "4-5");
    row("a second point ends the number", "1.2.3", "1-0");
    row("no digits", ".", "0-0");
    row("empty", "", "0-0");
    row("longer than any integer", "123456789012345678901.5", "123456789012345678901-5");
    QTest::newRow("missing") << QByteArray() << QStringLiteral("0-0");
}

void TestItems::rating()
{
    QFETCH(QByteArray, reviews);
    QFETCH(QString, stars);
    QCOMPARE(read("<Item><ASIN>1</ASIN>" + reviews + "</Item>").RatingImageURL, ::stars(qPrintable(stars)));
}

void TestItems::tracksOnlyWhenPresent()
{
    QCOMPARE(read("<Item><ASIN>1</ASIN><Tracks/></Item>").Tracks, QString());
    QCOMPARE(read("<Item><ASIN>1</ASIN><Tracks><Disc Number=\"1\"/></Tracks></Item>").Tracks,
             QStringLiteral("<p><strong>Listen to Samples</strong><br><br>Disk 1<br></p>"));
}

void TestItems::twoEditorialReviews()
{
    const TAlertNodeData record =
        read("<Item><ASIN>1</ASIN><EditorialReviews><EditorialReview><Source>S1</Source><Content>first</Content>"
             "</EditorialReview><EditorialReview><Source>S2</Source><Content>second</Content></EditorialReview>"
             "</EditorialReviews></Item>");
    QCOMPARE(record.EditorialReview, QStringLiteral("first"));
    QCOMPARE(record.ReviewOffers,
             QStringLiteral("<strong>EditorialReview</strong><ul><li><strong>Source</strong>: S1</li><li><strong>"
                            "Content</strong>: first</li></ul><br><strong>EditorialReview</strong><ul><li><strong>"
                            "Source</strong>: S2</li><li><strong>Content</strong>: second</li></ul><br>"));
}

void TestItems::lookupsCompleteTheItem()
{
    // The Title looked up for the title slot is the last attribute listed.
    QCOMPARE(read("<Item><ItemAttributes><Author>A</Author><ListPrice><Amount>1</Amount></ListPrice>"
                  "</ItemAttributes></Item>")
                 .ProductDetails,
             QStringLiteral("<ul><li><strong>Author</strong>: A</li><li><strong>ListPrice</strong>: </li>"
                            "<li><strong>Title</strong>: </li></ul>"));
    // The lowest new price looked up for the price slot is not an offer.
    const TAlertNodeData noNewOffer = read("<Item><OfferSummary><TotalNew>0</TotalNew></OfferSummary></Item>");
    QCOMPARE(noNewOffer.Offers, QStringLiteral("<strong>TotalNew</strong>: <font color=\"cc0000\">0</font><br>"));
    QCOMPARE(noNewOffer.Price, QString());
    // A review without Content gets the Content that the review slot looked up.
    QCOMPARE(read("<Item><EditorialReviews><EditorialReview><Source>S</Source></EditorialReview></EditorialReviews>"
                  "</Item>")
                 .ReviewOffers,
             QStringLiteral("<strong>EditorialReview</strong><ul><li><strong>Source</strong>: S</li><li><strong>"
                            "Content</strong>: </li></ul><br>"));
}

void TestItems::faultKeepsTheSlotsReadBefore_data()
{
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<QString>("lastSlotRead");
    QTest::newRow("title holding elements")
        << QByteArray("<Item><ASIN>1</ASIN><DetailPageURL>u</DetailPageURL><ItemAttributes><Title><b>x</b></Title>"
                      "</ItemAttributes></Item>")
        << QStringLiteral("DetailPageURL");
    QTest::newRow("track without a number")
        << QByteArray("<Item><ASIN>1</ASIN><ItemAttributes><Author>A</Author></ItemAttributes><Tracks>"
                      "<Disc Number=\"1\"><Track>t</Track></Disc></Tracks></Item>")
        << QStringLiteral("ByLine");
}

void TestItems::faultKeepsTheSlotsReadBefore()
{
    QFETCH(QByteArray, item);
    QFETCH(QString, lastSlotRead);
    TAlertNodeData record;
    QVERIFY_THROWS_EXCEPTION(XmlError, ReadItemElement(parse(item), record, testEndpoints()));
    QCOMPARE(record.ASIN, QStringLiteral("1"));
    if (lastSlotRead == QLatin1String("DetailPageURL")) {
        QCOMPARE(record.DetailPageURL, QStringLiteral("u"));
        QVERIFY(record.ProductDetails.isEmpty());
    } else {
        QCOMPARE(record.ByLine, QStringLiteral("A"));
        QVERIFY(!record.ProductDetails.isEmpty());
    }
    QVERIFY(record.Tracks.isEmpty());
    QVERIFY(record.RatingImageURL.isEmpty());
}

void TestItems::detailsLeaveAsinAndTitle()
{
    TAlertNodeData record;
    record.ASIN = QStringLiteral("kept");
    record.Title = QStringLiteral("kept too");
    const QDomElement item = parse("<Item><ASIN>other</ASIN><DetailPageURL>u</DetailPageURL><ItemAttributes>"
                                   "<Author>A</Author></ItemAttributes></Item>");
    ReadItemElement(item, record, testEndpoints(), ItemReadMode::Details);
    QCOMPARE(record.ASIN, QStringLiteral("kept"));
    QCOMPARE(record.Title, QStringLiteral("kept too"));
    QCOMPARE(record.DetailPageURL, QStringLiteral("u"));
    QCOMPARE(record.ByLine, QStringLiteral("A"));
    QCOMPARE(record.ProductDetails, QStringLiteral("<ul><li><strong>Author</strong>: A</li></ul>"));
    QCOMPARE(record.RatingImageURL, stars("0-0"));

    TAlertNodeData bare;
    ReadItemElement(parse("<Item><ASIN>1</ASIN></Item>"), bare, testEndpoints(), ItemReadMode::Details);
    QCOMPARE(bare.ProductDetails, QStringLiteral("<ul></ul>"));
}

QTEST_GUILESS_MAIN(TestItems)
#include "tst_items.moc"
