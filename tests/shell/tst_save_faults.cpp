// Every file the program writes, through the window that writes it, when the
// disk is full, the folder read-only or the data folder gone: the previous
// file stays whole, the user is told which file, and the program runs on.

#include "quobex/settings/NumberEdit.h"
#include "quobex/settings/Settings.h"
#include "quobex/shell/MainForm.h"
#include "quobex/store/AddAlert.h"
#include "quobex/store/ItemsFile.h"

#include "platform/Wait.h"
#include "tests/support/AppHarness.h"
#include "tests/support/FakeWebService.h"
#include "tests/support/FilePermissions.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Fixtures.h"
#include "tests/support/ServiceReplies.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>

#include <memory>
#include <optional>

using quobex::TfrmMainForm;
using testsupport::AppHarness;
using testsupport::FakeWebService;
using testsupport::readFile;
using testsupport::writeFile;
using Reply = testsupport::FakeWebService::Reply;
namespace replies = testsupport::replies;

namespace {

enum class Save { Items, ItemsAfterFetch, Definitions, Index, Settings, Marker };
enum class Fault { FullDisk, ReadOnlyFolder, FolderRemoved };

const QByteArray kPrevious = "previous content, longer than the size limit\r\n";

} // namespace

Q_DECLARE_METATYPE(Save)
Q_DECLARE_METATYPE(Fault)

class TestSaveFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void faultOnSave_data();
    void faultOnSave();

private:
    std::unique_ptr<FakeWebService> m_service;
    std::unique_ptr<AppHarness> m_app;
};

void TestSaveFaults::init()
{
    m_service = std::make_unique<FakeWebService>();
    m_service->setDefaultReply("BrowseNodeLookup", Reply::xml(FakeWebService::emptyReply("BrowseNodeLookup")));
    m_service->setBrowseNodeReply("283155", "TopSellers",
                                  Reply::xml(replies::browseNode("TopSellers", {{"A1", "Book One"}})));
    m_service->setDefaultReply("ItemLookup", Reply::xml(replies::lookup(replies::item("A1", "Book One"))));
    m_app = std::make_unique<AppHarness>();
    m_app->endpoints = quobex::Endpoints::loopback(m_service->hostAndPort(), "127.0.0.1:9");
}

void TestSaveFaults::cleanup()
{
    m_app.reset();
    m_service.reset();
}

void TestSaveFaults::faultOnSave_data()
{
    QTest::addColumn<Save>("save");
    QTest::addColumn<Fault>("fault");
    const std::pair<const char*, Save> saves[] = {
        {"items file at Exit", Save::Items}, {"items file after a fetch", Save::ItemsAfterFetch},
        {"definitions", Save::Definitions},  {"latest-alert index", Save::Index},
        {"settings", Save::Settings},        {"version marker", Save::Marker},
    };
    const std::pair<const char*, Fault> faults[] = {
        {"full disk", Fault::FullDisk},
        {"read-only folder", Fault::ReadOnlyFolder},
        {"folder removed", Fault::FolderRemoved},
    };
    for (const auto& [saveName, save] : saves) {
        for (const auto& [faultName, fault] : faults) {
            // The marker is only written at start-up, which makes the folder
            // first; the settings file is written with its folder made anew.
            if (fault == Fault::FolderRemoved && (save == Save::Marker || save == Save::Settings))
                continue;
            QTest::addRow("%s, %s", saveName, faultName) << save << fault;
        }
    }
}

void TestSaveFaults::faultOnSave()
{
    QFETCH(Save, save);
    QFETCH(Fault, fault);
    const QString dataFolder = m_app->home.dataFolder();
    m_app->home.makeDataFolder();
    writeFile(m_app->home.file(QStringLiteral("quobex_version.dat")), "1.0.8.49");

    QString file;
    switch (save) {
    case Save::Items:
    case Save::ItemsAfterFetch:
        file = m_app->home.file(QStringLiteral("quobex_amazon_items.dat"));
        break;
    case Save::Definitions:
        file = m_app->home.file(QStringLiteral("quobex_keyword_config.dat"));
        break;
    case Save::Index:
        file = m_app->home.file(QStringLiteral("quobex_latest_alert_index.dat"));
        break;
    case Save::Settings:
        file = m_app->home.appData() + QStringLiteral("/QuobexSettings.xml");
        break;
    case Save::Marker:
        file = m_app->home.file(QStringLiteral("quobex_version.dat"));
        QVERIFY(QFile::remove(file));
        break;
    }
    // Without a marker, the items file is what must survive its failed write.
    const QString kept = save == Save::Marker ? m_app->home.file(QStringLiteral("quobex_amazon_items.dat")) : file;
    QByteArray previous = kPrevious;
    if (save == Save::Items || save == Save::ItemsAfterFetch || save == Save::Marker) {
        quobex::AlertTree tree;
        tree.AddChild(tree.root())->data.ItemType = QStringLiteral("Books");
        previous = quobex::ItemsFile::encode(tree);
    } else if (save == Save::Settings) {
        previous = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<Configuration>\n  "
                   "<KeepArticles>20</KeepArticles>\n</Configuration>\n";
    } else if (save == Save::Definitions) {
        writeFile(m_app->home.file(QStringLiteral("quobex_itemtype_config.dat")), "Books\r\n");
        writeFile(m_app->home.file(QStringLiteral("quobex_localization_config.dat")), "U.S.A.\r\n");
        previous = "harry potter\r\n";
    }
    writeFile(kept, previous);

    // The fault comes after start-up, except for what start-up writes.
    const QString folder = save == Save::Settings ? m_app->home.appData() : dataFolder.chopped(1);
    std::optional<testsupport::FileSizeLimit> fullDisk;
    std::optional<testsupport::FilePermissionsApply> permissions;
    auto applyFault = [&] {
        switch (fault) {
        case Fault::FullDisk:
            fullDisk.emplace(2);
            break;
        case Fault::ReadOnlyFolder:
            QVERIFY(
                QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser | QFile::ExeUser));
            permissions.emplace();
            break;
        case Fault::FolderRemoved:
            QVERIFY(QDir(folder).removeRecursively());
            break;
        }
    };
    auto removeFault = [&] {
        fullDisk.reset();
        permissions.reset();
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                                          QFile::WriteUser | QFile::ExeUser);
    };

    QStringList filesBefore;
    if (save == Save::Marker) {
        filesBefore = QDir(folder).entryList(QDir::Files);
        applyFault();
        m_app->create();
        removeFault();
        m_app->start();
    } else {
        m_app->start();
        filesBefore = QDir(folder).entryList(QDir::Files);
        applyFault();
    }
    TfrmMainForm* form = m_app->form();
    switch (save) {
    case Save::Items:
        form->Exit1Click();
        break;
    case Save::ItemsAfterFetch:
    case Save::Index:
        form->QueryAmazonNow2->trigger();
        QVERIFY(platform::WaitWhile([form] { return form->Busy; }, 5));
        break;
    case Save::Definitions:
        form->addAlertForm()->txtNewAlert->setText(QStringLiteral("a new alert"));
        form->addAlertForm()->btnAddAlertClick();
        break;
    case Save::Settings:
        form->settingsForm()->seKeepArticles->setValue(33);
        form->settingsForm()->btnOkClick();
        break;
    case Save::Marker:
        break;
    }
    removeFault();

    // Told which file, the program still running and not busy.
    bool named = false;
    for (const QString& text : m_app->messages.errors)
        named = named || text.contains(file);
    QVERIFY2(named, qPrintable(m_app->messages.errors.join(QStringLiteral(" | "))));
    QCOMPARE(m_app->endRequests, 0);
    QVERIFY(!form->Busy);
    QVERIFY(form->isVisible());
    // The previous file whole, where the folder is still there to hold it.
    if (fault != Fault::FolderRemoved)
        QCOMPARE(readFile(kept), previous);
    else
        QVERIFY(!QFileInfo::exists(kept));
    // Nothing half-written is left beside it.
    if (fault != Fault::FolderRemoved)
        QCOMPARE(QDir(folder).entryList(QDir::Files), filesBefore);

    // With the fault gone, the same save goes through.
    QDir().mkpath(folder);
    m_app->messages.errors.clear();
    if (save == Save::Items) {
        form->Exit1Click();
        QCOMPARE(m_app->endRequests, 1);
    } else if (save == Save::Definitions) {
        form->addAlertForm()->btnAddAlertClick();
        QVERIFY(readFile(file).contains("a new alert"));
    } else if (save == Save::Settings) {
        form->settingsForm()->btnOkClick();
        QVERIFY(readFile(file).contains("33"));
    }
    QVERIFY2(m_app->messages.errors.isEmpty(), qPrintable(m_app->messages.errors.join(QStringLiteral(" | "))));
}

QTEST_MAIN(TestSaveFaults)
#include "tst_save_faults.moc"
