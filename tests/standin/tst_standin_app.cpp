// The whole program against the stand-in, as someone trying it out sees it:
// a fetch fills the keyword alerts and the built-in lists, and a product's
// details page shows its picture and stars from the stand-in's image host.

#include "quobex/shell/MainForm.h"
#include "quobex/store/AlertDefinitions.h"

#include "platform/ui/WebView.h"
#include "standin/StandinServer.h"
#include "tests/support/AppHarness.h"

#include <QAction>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using quobex::AlertNode;
using quobex::TfrmMainForm;
using standin::Store;

class TestStandinApp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fetchShowsAlertsListsAndPictures();
};

void TestStandinApp::fetchShowsAlertsListsAndPictures()
{
    standin::StandinOptions options;
    options.cataloguePath = QStringLiteral(QUOBEX_STANDIN_CATALOGUE);
    options.fixedMinutes = 0;
    standin::StandinServer server(options);
    server.start();

    testsupport::AppHarness app;
    app.endpoints =
        quobex::Endpoints::loopback(server.hostAndPort(server.imagePort()), server.hostAndPort(server.makerPort()));
    app.endpoints.serviceHostUS = server.hostAndPort(server.storePort(Store::US));
    app.endpoints.serviceHostDE = server.hostAndPort(server.storePort(Store::DE));
    app.home.makeDataFolder();
    quobex::AlertDefinitions definitions;
    definitions.KeywordList = {"jazz", "K\xFC"
                                       "che"};
    definitions.ItemTypeList = {"Music", "Blended"};
    definitions.LocalizationList = {"U.S.A.", "Germany"};
    definitions.save(app.home.dataFolder());

    app.start();
    TfrmMainForm* form = app.form();
    form->QueryAmazonNow2->trigger();
    QVERIFY(form->Busy);
    QTRY_VERIFY_WITH_TIMEOUT(!form->Busy, 40000);

    // Groups: the two keyword alerts' item types, then the built-in lists.
    const AlertNode* root = form->Tree.root();
    QCOMPARE(root->childCount(), 4);
    QCOMPARE(root->child(0)->data.ItemType, QStringLiteral("Music"));
    QCOMPARE(root->child(1)->data.ItemType, QStringLiteral("Blended"));
    QCOMPARE(root->child(2)->data.ItemType, QStringLiteral("Top Sellers"));
    QCOMPARE(root->child(3)->data.ItemType, QStringLiteral("New Releases"));
    const AlertNode* german = root->child(1)->firstChild();
    QCOMPARE(german->data.Keyword, QStringLiteral("Küche"));
    QVERIFY(german->childCount() > 0);
    for (int g = 0; g < 4; ++g) {
        for (int a = 0; a < root->child(g)->childCount(); ++a)
            QVERIFY(root->child(g)->child(a)->childCount() > 0);
    }
    QVERIFY(!app.tray.balloons.isEmpty());

    // The details page of a jazz record loads its cover and its stars.
    const AlertNode* item = root->child(0)->firstChild()->firstChild();
    QSignalSpy images(form->wbPicture, &platform::ui::WebView::imageLoaded);
    form->vtvCurrentAlertsChange(const_cast<AlertNode*>(item));
    QVERIFY(form->btnBuy->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(images.size() >= 2, 20000);
    QStringList loaded;
    for (const QList<QVariant>& args : images) {
        QVERIFY2(args.at(1).toBool(), qPrintable(args.at(0).toString()));
        loaded << args.at(0).toString();
    }
    QVERIFY(loaded.contains(item->data.ImageURL));
    QVERIFY(loaded.contains(item->data.RatingImageURL));
}

QTEST_MAIN(TestStandinApp)
#include "tst_standin_app.moc"
