// The details page of a product and the figures on it.

#include "quobex/present/DetailsPage.h"
#include "quobex/present/OutsideLinks.h"
#include "quobex/present/Saving.h"
#include "tests/support/Fixtures.h"

#include <QTest>

using namespace quobex;

Q_DECLARE_METATYPE(quobex::TAlertNodeData)

namespace {

// The two items of the golden pages under fixtures/pages.
TAlertNodeData fullItem()
{
    TAlertNodeData item;
    item.Title = QStringLiteral("Learning Sample Programming: Caf\u00e9 & Co");
    item.ByLine = QStringLiteral("Ada Example");
    item.ListPrice = QStringLiteral("$19.99");
    item.Price = QStringLiteral("$14.99");
    item.RatingImageURL =
        QStringLiteral("http://127.0.0.1:9/images/G/01/x-locale/common/customer-reviews/stars-4-0.gif");
    item.Offers = QStringLiteral("<strong>LowestNewPrice</strong>: <font color=\"cc0000\"><strong>$14.99</strong>"
                                 "</font><br><strong>TotalNew</strong>: <font color=\"cc0000\">31</font><br>");
    item.ImageURL = QStringLiteral("http://127.0.0.1:9/images/P/0000000101.01._SCMZZZZZZZ_.jpg");
    item.EditorialReview = QStringLiteral("A <i>practical</i> introduction.");
    item.ProductDetails = QStringLiteral("<ul><li><strong>Author</strong>: Ada Example</li><li><strong>ListPrice"
                                         "</strong>: $19.99</li><li><strong>Title</strong>: Learning Sample "
                                         "Programming</li></ul>");
    item.Tracks = QStringLiteral("<p><strong>Listen to Samples</strong><br><br>Disk 1<br><a href=\"http://"
                                 "127.0.0.1:9/exec/obidos/clipserve/B00000020200100001/0/102-1234567-7654321\">"
                                 "Listen First Song</a><br></p>");
    item.DetailPageURL = QStringLiteral("http://www.amazon.com/dp/0000000101");
    item.Keyword = QStringLiteral("harry potter");
    item.ItemType = QStringLiteral("Books");
    item.Localization = QStringLiteral("U.S.A.");
    // Slots the page never shows.
    item.ASIN = QStringLiteral("0000000101");
    item.ReviewOffers = QStringLiteral("<strong>EditorialReview</strong><ul></ul><br>");
    item.IsNew = QStringLiteral("true");
    item.IsRead = QStringLiteral("false");
    item.NewCount = 7;
    return item;
}

TAlertNodeData sparseItem()
{
    TAlertNodeData item = fullItem();
    item.Title = QStringLiteral("No Frills");
    item.ByLine.clear();
    item.Offers.clear();
    item.RatingImageURL.clear();
    item.ImageURL.clear();
    item.Tracks.clear();
    item.ListPrice.clear();
    item.Price.clear();
    item.EditorialReview.clear();
    item.ProductDetails = QStringLiteral("<ul></ul>");
    return item;
}

} // namespace

class TestPresent : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pageMatchesGolden_data();
    void pageMatchesGolden();
    void titleOutsideCodePageIsSubstituted();
    void saving_data();
    void saving();
    void plainNumber_data();
    void plainNumber();
    void numberFormats_data();
    void numberFormats();
};

void TestPresent::pageMatchesGolden_data()
{
    QTest::addColumn<TAlertNodeData>("item");
    QTest::addColumn<QString>("golden");
    QTest::newRow("every slot filled") << fullItem() << QStringLiteral("pages/full-item.html");
    QTest::newRow("empty by-line, offers, rating, picture, tracks")
        << sparseItem() << QStringLiteral("pages/sparse-item.html");
}

void TestPresent::pageMatchesGolden()
{
    QFETCH(TAlertNodeData, item);
    QFETCH(QString, golden);
    const QByteArray page = BuildDetailsPage(item, PictureLink("http://127.0.0.1:9", item), QLocale::c());
    const QByteArray expected = testsupport::fixture(golden);
    if (page != expected) {
        // Name the first line that differs; a byte dump of a whole page says little.
        const QList<QByteArray> got = page.split('\n');
        const QList<QByteArray> want = expected.split('\n');
        for (qsizetype i = 0; i < qMin(got.size(), want.size()); ++i)
            QCOMPARE(got.at(i), want.at(i));
        QCOMPARE(got.size(), want.size());
    }
    QCOMPARE(page, expected);
}

void TestPresent::titleOutsideCodePageIsSubstituted()
{
    TAlertNodeData item = sparseItem();
    item.Title = QStringLiteral("\u041c\u0438\u0440 Caf\u00e9");
    const QByteArray page = BuildDetailsPage(item, {}, QLocale::c());
    QVERIFY(page.contains("sans-serif\">??? Caf\xe9</font>"));
}

void TestPresent::saving_data()
{
    QTest::addColumn<QString>("listPrice");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("percent");

    const QLocale point = QLocale::c();
    const QLocale comma(QLocale::German, QLocale::Germany);
    QTest::newRow("dollars") << "$19.99"
                             << "$14.99" << point << "5"
                             << "25.01";
    QTest::newRow("euro with decimal comma") << "EUR 12,99"
                                             << "EUR 9,99" << point << "3"
                                             << "23.09";
    QTest::newRow("price above list price") << "$10.00"
                                            << "$12.50" << point << "-2.5"
                                            << "-25.00";
    QTest::newRow("cents") << "$24.95"
                           << "$16.47" << point << "8.48"
                           << "33.99";
    QTest::newRow("canadian dollars") << "CDN$ 40.00"
                                      << "CDN$ 30.00" << point << "10"
                                      << "25.00";
    QTest::newRow("pounds") << "\u00a37.50"
                            << "\u00a35.00" << point << "2.5"
                            << "33.33";
    QTest::newRow("thousands separator") << "$1,299.99"
                                         << "$999.99" << point << "0"
                                         << "0.00";
    QTest::newRow("no prices") << ""
                               << "" << point << "0"
                               << "0.00";
    QTest::newRow("only a list price") << "$10.00"
                                       << "" << point << "0"
                                       << "0.00";
    QTest::newRow("yen") << "\u00a5 2,500"
                         << "\u00a5 2,000" << point << "0"
                         << "0.00";
    QTest::newRow("list price of zero") << "$0.00"
                                        << "$5.00" << point << "-5"
                                        << "0.00";
    QTest::newRow("decimal comma locale") << "$19.99"
                                          << "$14.99" << comma << "5"
                                          << "25,01";
    QTest::newRow("decimal comma locale, fraction") << "$10.00"
                                                    << "$12.50" << comma << "-2,5"
                                                    << "-25,00";
}

void TestPresent::saving()
{
    QFETCH(QString, listPrice);
    QFETCH(QString, price);
    QFETCH(QLocale, locale);
    QFETCH(QString, amount);
    QFETCH(QString, percent);
    const Saving saving = ComputeSaving(listPrice, price, locale);
    QCOMPARE(saving.amount, amount);
    QCOMPARE(saving.percent, percent);
}

void TestPresent::plainNumber_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << QByteArray("12") << true << 12.0;
    QTest::newRow("fraction") << QByteArray("12.5") << true << 12.5;
    QTest::newRow("point first") << QByteArray(".5") << true << 0.5;
    QTest::newRow("point last") << QByteArray("5.") << true << 5.0;
    QTest::newRow("signs and exponent") << QByteArray("+1.5e-1") << true << 0.15;
    QTest::newRow("negative") << QByteArray("-3") << true << -3.0;
    QTest::newRow("two points") << QByteArray("1.299.99") << false << 0.0;
    QTest::newRow("empty") << QByteArray() << false << 0.0;
    QTest::newRow("sign alone") << QByteArray("-") << false << 0.0;
    QTest::newRow("point alone") << QByteArray(".") << false << 0.0;
    QTest::newRow("exponent without digits") << QByteArray("1e") << false << 0.0;
    QTest::newRow("trailing letter") << QByteArray("5x") << false << 0.0;
    QTest::newRow("infinity") << QByteArray("inf") << false << 0.0;
    QTest::newRow("hexadecimal") << QByteArray("0x10") << false << 0.0;
    QTest::newRow("overflow") << QByteArray("1e999") << false << 0.0;
}

void TestPresent::plainNumber()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    double parsed = -1;
    QCOMPARE(ParsePlainNumber(text, &parsed), ok);
    if (ok)
        QCOMPARE(parsed, value);
}

void TestPresent::numberFormats_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("general");
    QTest::addColumn<QString>("percent");
    QTest::newRow("zero") << 0.0 << "0"
                          << "0.00";
    QTest::newRow("binary noise") << (0.1 + 0.2) << "0.3"
                                  << "0.30";
    QTest::newRow("decimal tie rounds up") << 0.125 << "0.125"
                                           << "0.13";
    QTest::newRow("negative tie") << -0.125 << "-0.125"
                                  << "-0.13";
    QTest::newRow("tiny negative") << -0.001 << "-0.001"
                                   << "0.00";
    QTest::newRow("smallest fixed") << 0.00001 << "0.00001"
                                    << "0.00";
    QTest::newRow("below fixed") << 0.0000015 << "1.5E-6"
                                 << "0.00";
    QTest::newRow("fifteen digits") << 123456789012345.0 << "123456789012345"
                                    << "1.234568E14";
    QTest::newRow("sixteen digits") << 1234567890123456.0 << "1.23456789012346E15"
                                    << "1.234568E15";
    QTest::newRow("six integer digits") << 123456.789 << "123456.789"
                                        << "123456.80";
    QTest::newRow("seven integer digits") << -1234567.891 << "-1234567.891"
                                          << "-1234568.00";
    QTest::newRow("carry past seven digits") << 9999999.6 << "9999999.6"
                                             << "1E7";
}

void TestPresent::numberFormats()
{
    QFETCH(double, value);
    QFETCH(QString, general);
    QFETCH(QString, percent);
    const QString point = QStringLiteral(".");
    QCOMPARE(FormatGeneral(value, 15, point), general);
    QCOMPARE(FormatPercent(value, point), percent);
}

QTEST_GUILESS_MAIN(TestPresent)
#include "tst_present.moc"
