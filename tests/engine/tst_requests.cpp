#include "quobex/engine/Locale.h"
#include "quobex/engine/QueryEncoding.h"
#include "quobex/engine/RequestUrls.h"
#include "quobex/engine/ServiceFetch.h"

#include "tests/engine/TestEndpoints.h"
#include "tests/support/FakeWebService.h"
#include "tests/support/Fixtures.h"

#include <QTcpServer>
#include <QTest>

using namespace quobex;
using testsupport::FakeWebService;

Q_DECLARE_METATYPE(FakeWebService::Reply)

class TestRequests : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void locales_data();
    void locales();
    void encodesQueryValues_data();
    void encodesQueryValues();
    void itemSearchUrl_data();
    void itemSearchUrl();
    void categoryUrls_data();
    void categoryUrls();
    void itemLookupUrl();
    void fetchReturnsTheWholeBody();
    void failedFetchIsAnEmptyReply_data();
    void failedFetchIsAnEmptyReply();
    void unreachableServiceIsAnEmptyReply();
};

void TestRequests::locales_data()
{
    QTest::addColumn<QByteArray>("localization");
    QTest::addColumn<QByteArray>("host");
    QTest::addColumn<QByteArray>("tag");
    QTest::newRow("Canada") << QByteArray("Canada") << QByteArray("ws.ca.test") << QByteArray("tagca-20");
    QTest::newRow("U.K.") << QByteArray("U.K.") << QByteArray("ws.uk.test") << QByteArray("taguk-21");
    QTest::newRow("Germany") << QByteArray("Germany") << QByteArray("ws.de.test") << QByteArray("tagde-21");
    QTest::newRow("France") << QByteArray("France") << QByteArray("ws.fr.test") << QByteArray("tagfr-21");
    QTest::newRow("Japan: own host, default tag")
        << QByteArray("Japan") << QByteArray("ws.jp.test") << QByteArray("tag-20");
    QTest::newRow("China") << QByteArray("China") << QByteArray("ws.us.test") << QByteArray("tag-20");
    QTest::newRow("U.S.A.") << QByteArray("U.S.A.") << QByteArray("ws.us.test") << QByteArray("tag-20");
    QTest::newRow("U.S.A") << QByteArray("U.S.A") << QByteArray("ws.us.test") << QByteArray("tag-20");
    QTest::newRow("canada is not Canada") << QByteArray("canada") << QByteArray("ws.us.test") << QByteArray("tag-20");
    QTest::newRow("no trimming") << QByteArray("Canada ") << QByteArray("ws.us.test") << QByteArray("tag-20");
    QTest::newRow("empty") << QByteArray() << QByteArray("ws.us.test") << QByteArray("tag-20");
}

void TestRequests::locales()
{
    QFETCH(QByteArray, localization);
    QFETCH(QByteArray, host);
    QFETCH(QByteArray, tag);
    const Locale locale = ResolveLocale(testEndpoints(), localization);
    QCOMPARE(locale.host, host);
    QCOMPARE(locale.associateTag, tag);
}

void TestRequests::encodesQueryValues_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("plus signs and a space") << QByteArray("C++ books") << QByteArray("C%2B%2B+books");
    QTest::newRow("ampersand") << QByteArray("rock & roll") << QByteArray("rock+%26+roll");
    QTest::newRow("hyphen") << QByteArray("-") << QByteArray("%2D");
    QTest::newRow("dot") << QByteArray(".") << QByteArray("%2E");
    QTest::newRow("underscore") << QByteArray("_") << QByteArray("%5F");
    QTest::newRow("letters and digits stay") << QByteArray("AZaz09") << QByteArray("AZaz09");
    QTest::newRow("code-page bytes, not UTF-8") << QByteArray("caf\xE9 \xFF\x01") << QByteArray("caf%E9+%FF%01");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestRequests::encodesQueryValues()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, encoded);
    QCOMPARE(EncodeQueryValue(text), encoded);
}

void TestRequests::itemSearchUrl_data()
{
    QTest::addColumn<QByteArray>("itemType");
    QTest::addColumn<QByteArray>("keyword");
    QTest::addColumn<QByteArray>("localization");
    QTest::addColumn<QByteArray>("url");
    const QByteArray tail =
        "&ResponseGroup=Accessories,EditorialReview,Images,ItemAttributes,ItemIds,Reviews,Medium,Tracks";
    QTest::newRow("U.S.A., C++ books")
        << QByteArray("Books") << QByteArray("C++ books") << QByteArray("U.S.A.")
        << "http://ws.us.test/onca/xml?Service=AWSECommerceService&Version=2005-07-26&Operation=ItemSearch"
           "&ContentType=text%2Fxml&SubscriptionId=SEARCHID000000000001&AssociateTag=tag-20"
           "&Validate=False&XMLEscaping=Single&SearchIndex=Books&Keywords=C%2B%2B+books" +
               tail;
    QTest::newRow("Germany, rock & roll, encoded item type")
        << QByteArray("Classical_Music") << QByteArray("rock & roll") << QByteArray("Germany")
        << "http://ws.de.test/onca/xml?Service=AWSECommerceService&Version=2005-07-26&Operation=ItemSearch"
           "&ContentType=text%2Fxml&SubscriptionId=SEARCHID000000000001&AssociateTag=tagde-21"
           "&Validate=False&XMLEscaping=Single&SearchIndex=Classical%5FMusic&Keywords=rock+%26+roll" +
               tail;
    QTest::newRow("empty keyword")
        << QByteArray("Blended") << QByteArray() << QByteArray("Japan")
        << "http://ws.jp.test/onca/xml?Service=AWSECommerceService&Version=2005-07-26&Operation=ItemSearch"
           "&ContentType=text%2Fxml&SubscriptionId=SEARCHID000000000001&AssociateTag=tag-20"
           "&Validate=False&XMLEscaping=Single&SearchIndex=Blended&Keywords=" +
               tail;
    QTest::newRow("-._ and canada")
        << QByteArray("DVD") << QByteArray("a-b.c_d") << QByteArray("canada")
        << "http://ws.us.test/onca/xml?Service=AWSECommerceService&Version=2005-07-26&Operation=ItemSearch"
           "&ContentType=text%2Fxml&SubscriptionId=SEARCHID000000000001&AssociateTag=tag-20"
           "&Validate=False&XMLEscaping=Single&SearchIndex=DVD&Keywords=a%2Db%2Ec%5Fd" +
               tail;
}

void TestRequests::itemSearchUrl()
{
    QFETCH(QByteArray, itemType);
    QFETCH(QByteArray, keyword);
    QFETCH(QByteArray, localization);
    QFETCH(QByteArray, url);
    QCOMPARE(ItemSearchUrl(testEndpoints(), itemType, keyword, localization), url);
}

void TestRequests::categoryUrls_data()
{
    QTest::addColumn<QString>("itemType");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QByteArray>("tail");
    QTest::newRow("Books, Top Sellers") << QStringLiteral("Books") << QStringLiteral("Top Sellers")
                                        << QByteArray("&BrowseNodeId=283155&ResponseGroup=TopSellers");
    QTest::newRow("DVD, New Releases") << QStringLiteral("DVD") << QStringLiteral("New Releases")
                                       << QByteArray("&BrowseNodeId=130&ResponseGroup=NewReleases");
    QTest::newRow("Music, Top Sellers") << QStringLiteral("Music") << QStringLiteral("Top Sellers")
                                        << QByteArray("&BrowseNodeId=5174&ResponseGroup=TopSellers");
    QTest::newRow("unknown item type") << QStringLiteral("Toys") << QStringLiteral("Top Sellers")
                                       << QByteArray("&BrowseNodeId=&ResponseGroup=TopSellers");
    QTest::newRow("case matters") << QStringLiteral("books") << QStringLiteral("top sellers")
                                  << QByteArray("&BrowseNodeId=&ResponseGroup=");
}

void TestRequests::categoryUrls()
{
    QFETCH(QString, itemType);
    QFETCH(QString, group);
    QFETCH(QByteArray, tail);
    QCOMPARE(BrowseNodeLookupUrl(testEndpoints(), "U.S.A", itemType, group),
             "http://ws.us.test/onca/xml?Service=AWSECommerceService&Version=2005-07-26&Operation=BrowseNodeLookup"
             "&ContentType=text%2Fxml&SubscriptionId=LOOKUPID000000000002&AssociateTag=tag-20" +
                 tail);
}

void TestRequests::itemLookupUrl()
{
    const QByteArray start = "/onca/xml?Service=AWSECommerceService&Version=2005-07-26&Operation=ItemLookup"
                             "&ContentType=text%2Fxml&SubscriptionId=LOOKUPID000000000002";
    const QByteArray tail = "&IdType=ASIN&ResponseGroup=Accessories,EditorialReview,Images,ItemAttributes,ItemIds,"
                            "Reviews,Medium,Tracks";
    QCOMPARE(ItemLookupUrl(testEndpoints(), "U.S.A", QStringLiteral("B000000404")),
             "http://ws.us.test" + start + "&AssociateTag=tag-20&ItemId=B000000404" + tail);
    QCOMPARE(ItemLookupUrl(testEndpoints(), "U.K.", QString()),
             "http://ws.uk.test" + start + "&AssociateTag=taguk-21&ItemId=" + tail);
}

void TestRequests::fetchReturnsTheWholeBody()
{
    FakeWebService service;
    const QByteArray reply = testsupport::fixture(QStringLiteral("replies/ItemSearch-ten-items.xml"));
    service.setSearchReply("C++ books", FakeWebService::Reply::xml(reply));
    const Endpoints endpoints = Endpoints::loopback(service.hostAndPort(), service.hostAndPort());
    const QByteArray url = ItemSearchUrl(endpoints, "Books", "C++ books", "U.S.A.");
    QCOMPARE(FetchServiceReply(url), reply);
    QCOMPARE(service.targets(), QList<QByteArray>{url.mid(url.indexOf("/onca/"))});
}

void TestRequests::failedFetchIsAnEmptyReply_data()
{
    QTest::addColumn<FakeWebService::Reply>("reply");
    const QByteArray body = FakeWebService::emptyReply("ItemSearch");
    QTest::newRow("404 with a well-formed body") << FakeWebService::Reply::error(404, body);
    QTest::newRow("500 with a body") << FakeWebService::Reply::error(500, "<Error>busy</Error>");
    QTest::newRow("503 without a body") << FakeWebService::Reply::error(503, QByteArray());
    QTest::newRow("body broken off") << FakeWebService::Reply::xml(body).cutOff();
}

void TestRequests::failedFetchIsAnEmptyReply()
{
    QFETCH(FakeWebService::Reply, reply);
    FakeWebService service;
    service.setDefaultReply(reply);
    const Endpoints endpoints = Endpoints::loopback(service.hostAndPort(), service.hostAndPort());
    QCOMPARE(FetchServiceReply(ItemSearchUrl(endpoints, "Books", "x", "U.S.A.")), QByteArray());
    QCOMPARE(service.targets().size(), 1);
}

void TestRequests::unreachableServiceIsAnEmptyReply()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QByteArray host = "127.0.0.1:" + QByteArray::number(probe.serverPort());
    probe.close(); // nobody listens there now
    QCOMPARE(FetchServiceReply(ItemSearchUrl(Endpoints::loopback(host, host), "Books", "x", "U.S.A.")), QByteArray());
    QCOMPARE(FetchServiceReply("not a url"), QByteArray());
}

QTEST_GUILESS_MAIN(TestRequests)
#include "tst_requests.moc"
