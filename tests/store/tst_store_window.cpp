// The alert store in the real main window: the add and delete commands, the
// tree view, the items file through the window, the latest alerts list.

#include "platform/Errors.h"
#include "platform/Wait.h"
#include "platform/ui/WebView.h"
#include "quobex/config/DataFiles.h"
#include "quobex/shell/MainForm.h"
#include "quobex/store/AddAlert.h"
#include "quobex/store/AlertTreeModel.h"
#include "quobex/store/AlertTreeView.h"
#include "quobex/store/ItemsFile.h"
#include "quobex/store/LatestAlertsGrid.h"
#include "tests/store/TreeBuilding.h"
#include "tests/support/AppHarness.h"
#include "tests/support/Fixtures.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace quobex;
using storetest::add;
using testsupport::AppHarness;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

AlertNode* addGroup(AlertTree& tree, const QString& itemType, qint32 fresh = 0, qint32 unread = 0)
{
    return add(tree, tree.root(), storetest::searchRecord(itemType, fresh, unread));
}

AlertNode* addAlert(AlertTree& tree, AlertNode* group, const QString& keyword, const QString& localization,
                    qint32 fresh = 0, qint32 unread = 0)
{
    TAlertNodeData d = group->data;
    d.Keyword = keyword;
    d.Localization = localization;
    d.NewCount = fresh;
    d.UnreadCount = unread;
    return add(tree, group, d);
}

AlertNode* addItem(AlertTree& tree, AlertNode* alert, const QString& title, const QString& asin, bool isNew = true,
                   bool isRead = false)
{
    TAlertNodeData d;
    d.Title = title;
    d.ASIN = asin;
    d.Keyword = alert->data.Keyword;
    d.Localization = alert->data.Localization;
    d.ItemType = alert->data.ItemType;
    d.IsNew = isNew ? kTrue : kFalse;
    d.IsRead = isRead ? kTrue : kFalse;
    return add(tree, alert, d);
}

// Whether the node's row is within the viewport's height.
bool inView(AlertTreeView* view, const AlertNode* node)
{
    const QRect row = view->visualRect(view->indexOf(node));
    return row.isValid() && row.top() >= 0 && row.bottom() < view->viewport()->height();
}

QPoint centreOf(AlertTreeView* view, const AlertNode* node)
{
    return view->visualRect(view->indexOf(node)).center();
}

void clickNode(AlertTreeView* view, const AlertNode* node, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(view->viewport(), button, {}, centreOf(view, node));
}

// As the desktop sends a double click: press, release, double click, release.
void doubleClickNode(AlertTreeView* view, const AlertNode* node)
{
    const QPoint at = centreOf(view, node);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

// Opens the context menu over `node` as a right click does, and picks
// `action` in it the way the keyboard does.
void chooseFromContextMenu(TfrmMainForm* form, const AlertNode* node, QAction* action)
{
    AlertTreeView* view = form->vtvCurrentAlerts;
    const QPoint at = centreOf(view, node);
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, at);
    bool shown = false;
    QTimer::singleShot(0, form, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        shown = menu == form->popupTreeView;
        if (!menu)
            return;
        menu->setActiveAction(action);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view->viewport(), &event);
    QVERIFY(shown);
}

// The pixels of a widget as painted now.
QImage pixels(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int countColour(const QImage& image, const QRect& rect, QRgb colour)
{
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x)
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    }
    return n;
}

// Pixels of blue text (blue well above red), antialiased or not.
int countBlueInk(const QImage& image, const QRect& rect)
{
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            n += qBlue(p) > qRed(p) + 60;
        }
    }
    return n;
}

constexpr QRgb kAmber = 0xFAB205;
constexpr QRgb kWhite = 0xFFFFFF;

} // namespace

class TestStoreWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void addAlertThroughDialogAndDeleteThroughMenu();
    void dialogCannotMakeDataFolder();
    void deleteAlertMessages();
    void deleteAlertRemovesMatchingDefinitionsAndOneNode();
    void deleteEntryOfViewedNewItem();
    void deletingOrReloadingTheCurrentItemSelectsNothing();
    void saveAndLoadThroughTheWindow();
    void failedSaveRestoresBusyAndReports();
    void unequalDefinitionsAtStartDiscardItems();
    void unwritableOrUnreadableFilesAreReported();

    void treeViewSettings();
    void treeViewMouse();
    void expandingScrollsChildrenIntoView();
    void selectedRowsKeepTheirStyle();

    void latestAlertsWithoutIndex();
    void latestAlertsRowsAndSelection();
    void latestAlertsKeyboardAndShortening();
};

void TestStoreWindow::addAlertThroughDialogAndDeleteThroughMenu()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    TfrmAddAlert* dialog = form->addAlertForm();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Add Alert"));
    QCOMPARE(dialog->cmbItemType->count(), 32);
    QCOMPARE(dialog->cmbItemType->currentText(), QStringLiteral("Blended"));
    QCOMPARE(dialog->cmbCountry->currentText(), QStringLiteral("U.S.A."));
    QVERIFY(!dialog->cmbItemType->isEditable());

    bool filled = false;
    QTimer::singleShot(0, dialog, [&] {
        QVERIFY(dialog->isVisible());
        dialog->txtNewAlert->setText(QStringLiteral("harry potter"));
        dialog->cmbItemType->setCurrentText(QStringLiteral("Books"));
        dialog->cmbCountry->setCurrentText(QStringLiteral("U.K."));
        QTest::mouseClick(dialog->btnAddAlert, Qt::LeftButton);
        filled = true;
    });
    QTest::mouseClick(form->btnAddAlert, Qt::LeftButton);
    QVERIFY(filled);
    QVERIFY(!dialog->isVisible());
    // "Add" started a fetch (against a port where nobody answers); it ends
    // with its completion, which reloads the tree.
    QVERIFY(platform::WaitWhile([form] { return form->Busy; }, 5));
    QCOMPARE(form->statusText(), QStringLiteral("Ready"));
    const QString folder = app.home.dataFolder();
    QCOMPARE(readFile(folder + DataFiles::kKeywords), QByteArray("harry potter\r\n"));
    QCOMPARE(readFile(folder + DataFiles::kItemTypes), QByteArray("Books\r\n"));
    QCOMPARE(readFile(folder + DataFiles::kLocalizations), QByteArray("U.K.\r\n"));

    // Shown again, the dialog holds what was entered last; Cancel changes nothing.
    QStringList shownAgain;
    QTimer::singleShot(0, dialog, [&] {
        shownAgain = {dialog->txtNewAlert->text(), dialog->cmbItemType->currentText(),
                      dialog->cmbCountry->currentText()};
        QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
    });
    form->AddAlert1Click();
    QCOMPARE(shownAgain, (QStringList{"harry potter", "Books", "U.K."}));
    QCOMPARE(form->Definitions.count(), 1);

    // The fetch made the new alert's nodes before its request failed.
    AlertNode* group = form->Tree.FindGroup(QStringLiteral("Books"));
    QVERIFY(group);
    AlertNode* alert = form->Tree.FindAlert(group, QStringLiteral("harry potter"), QStringLiteral("U.K."));
    QVERIFY(alert);
    addItem(form->Tree, alert, QStringLiteral("Half-Blood Prince"), QStringLiteral("0439784549"));
    form->vtvCurrentAlerts->expandAll();

    chooseFromContextMenu(form, alert, form->DeleteAlert1);
    // Its group goes with it; the built-in lists, tried after it, stay.
    QCOMPARE(form->Tree.FindGroup(QStringLiteral("Books")), nullptr);
    QCOMPARE(form->Tree.groupCount(), 2);
    QCOMPARE(form->Definitions.count(), 0);
    QCOMPARE(readFile(folder + DataFiles::kKeywords), QByteArray());
    QCOMPARE(readFile(folder + DataFiles::kItemTypes), QByteArray());
    QCOMPARE(readFile(folder + DataFiles::kLocalizations), QByteArray());
    QVERIFY(QFileInfo::exists(folder + DataFiles::kKeywords));
    QVERIFY(app.messages.informed.isEmpty());
}

void TestStoreWindow::dialogCannotMakeDataFolder()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    QVERIFY(QDir(app.home.dataFolder()).removeRecursively());
    app.home.makeUnusable();
    QCOMPARE(form->addAlertForm()->exec(), int(QDialog::Rejected));
    QCOMPARE(app.messages.informed.size(), 1);
    QVERIFY(app.messages.informed.first().startsWith(QStringLiteral("Error creating config folder: ")));
    QVERIFY(app.messages.informed.first().endsWith(QStringLiteral("/Quobex/")));
    QCOMPARE(app.endRequests, 1);
}

void TestStoreWindow::deleteAlertMessages()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    AlertNode* group = addGroup(form->Tree, QStringLiteral("Books"));
    addAlert(form->Tree, group, QStringLiteral("hp"), QStringLiteral("U.S.A."));

    form->DeleteAlert1Click();
    clickNode(form->vtvCurrentAlerts, group);
    form->DeleteAlert1Click();
    QCOMPARE(app.messages.informed,
             (QStringList{"No alert selected for delete.", "Please select an alert, not a category."}));
    QCOMPARE(form->Tree.nodeCount(), 2);
}

void TestStoreWindow::deleteAlertRemovesMatchingDefinitionsAndOneNode()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    form->Definitions.KeywordList = {"hp", "hp", "other", "hp"};
    form->Definitions.ItemTypeList = {"Books", "DVD", "Books", "Books"};
    form->Definitions.LocalizationList = {"U.S.A.", "U.S.A.", "U.K.", "U.K."};
    AlertTree& tree = form->Tree;
    AlertNode* books = addGroup(tree, QStringLiteral("Books"), 5, 7);
    AlertNode* hp = addAlert(tree, books, QStringLiteral("hp"), QStringLiteral("U.S.A."), 2, 3);
    AlertNode* item = addItem(tree, hp, QStringLiteral("T"), QStringLiteral("A"));
    addAlert(tree, books, QStringLiteral("other"), QStringLiteral("U.K."), 3, 4);
    AlertNode* dvd = addGroup(tree, QStringLiteral("DVD"));
    AlertNode* dvdHp = addAlert(tree, dvd, QStringLiteral("hp"), QStringLiteral("U.S.A."));

    // On an item node: its alert goes, with every definition of that keyword
    // and localization, whatever the item type.
    form->vtvCurrentAlerts->expandAll();
    chooseFromContextMenu(form, item, form->DeleteAlert1);
    const QString folder = app.home.dataFolder();
    QCOMPARE(readFile(folder + DataFiles::kKeywords), QByteArray("other\r\nhp\r\n"));
    QCOMPARE(readFile(folder + DataFiles::kItemTypes), QByteArray("Books\r\nBooks\r\n"));
    QCOMPARE(readFile(folder + DataFiles::kLocalizations), QByteArray("U.K.\r\nU.K.\r\n"));
    QCOMPARE(books->childCount(), 1);
    QCOMPARE(books->data.NewCount, 3);
    QCOMPARE(books->data.UnreadCount, 4);
    QCOMPARE(dvd->childCount(), 1);
    QCOMPARE(form->vtvCurrentAlerts->selectedNode(), nullptr);
    QVERIFY(app.messages.informed.isEmpty());

    // The only alert of a group takes the group with it.
    chooseFromContextMenu(form, dvdHp, form->DeleteAlert1);
    QCOMPARE(tree.groupCount(), 1);
    QCOMPARE(tree.root()->child(0), books);
    QCOMPARE(form->Definitions.count(), 2);
}

void TestStoreWindow::deleteEntryOfViewedNewItem()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    AlertTree& tree = form->Tree;
    AlertNode* group = addGroup(tree, QStringLiteral("Books"), 2, 2);
    AlertNode* alert = addAlert(tree, group, QStringLiteral("hp"), QStringLiteral("U.S.A."), 2, 2);
    AlertNode* first = addItem(tree, alert, QStringLiteral("First"), QStringLiteral("A"));
    AlertNode* second = addItem(tree, alert, QStringLiteral("Second"), QStringLiteral("B"));

    form->DeleteEntry1Click(); // nothing viewed: nothing happens
    QCOMPARE(tree.nodeCount(), 4);

    form->vtvCurrentAlerts->expandAll();
    clickNode(form->vtvCurrentAlerts, first);
    QCOMPARE(form->CurrentItemNode, first);
    QVERIFY(form->btnBuy->isEnabled());
    QCOMPARE(alert->data.UnreadCount, 1);

    chooseFromContextMenu(form, first, form->DeleteEntry1);
    QCOMPARE(alert->childCount(), 1);
    QCOMPARE(alert->data.NewCount, 1);
    QCOMPARE(group->data.NewCount, 1);
    QCOMPARE(alert->data.UnreadCount, 1);
    QCOMPARE(group->data.UnreadCount, 1);
    QCOMPARE(form->CurrentItemNode, nullptr);
    QVERIFY(!form->btnBuy->isEnabled());
    // The neighbour was not chosen in its place.
    QCOMPARE(second->data.IsRead, kFalse);
    QCOMPARE(form->vtvCurrentAlerts->selectedNode(), nullptr);
    QVERIFY(!form->vtvCurrentAlerts->currentIndex().isValid());
}

void TestStoreWindow::deletingOrReloadingTheCurrentItemSelectsNothing()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    AlertTree& tree = form->Tree;
    AlertNode* group = addGroup(tree, QStringLiteral("Books"), 0, 3);
    AlertNode* hp = addAlert(tree, group, QStringLiteral("hp"), QStringLiteral("U.S.A."), 0, 2);
    AlertNode* viewed = addItem(tree, hp, QStringLiteral("Viewed"), QStringLiteral("A"));
    addItem(tree, hp, QStringLiteral("Neighbour"), QStringLiteral("B"));
    AlertNode* other = addAlert(tree, group, QStringLiteral("other"), QStringLiteral("U.K."), 0, 1);
    AlertNode* kept = addItem(tree, other, QStringLiteral("Kept"), QStringLiteral("C"));
    form->vtvCurrentAlerts->expandAll();

    // The item's whole alert goes: the details fall back to the help page.
    clickNode(form->vtvCurrentAlerts, viewed);
    QCOMPARE(form->CurrentItemNode, viewed);
    form->wbPicture->ShowHtml("<p>item page</p>");
    tree.DeleteNode(hp);
    QCOMPARE(form->CurrentItemNode, nullptr);
    QVERIFY(!form->btnBuy->isEnabled());
    QCOMPARE(form->wbPicture->currentAddress(), form->helpPageAddress());
    QCOMPARE(kept->data.IsRead, kFalse);
    QCOMPARE(form->vtvCurrentAlerts->selectedNode(), nullptr);

    // A reload replaces every node.
    clickNode(form->vtvCurrentAlerts, kept);
    QCOMPARE(form->CurrentItemNode, kept);
    form->SaveCurrentAlerts();
    form->LoadCurrentAlerts();
    QCOMPARE(form->CurrentItemNode, nullptr);
    QVERIFY(!form->btnBuy->isEnabled());
    QCOMPARE(form->vtvCurrentAlerts->selectedNode(), nullptr);
    QCOMPARE(tree.nodeCount(), 3);
}

void TestStoreWindow::saveAndLoadThroughTheWindow()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    AlertTree& tree = form->Tree;
    AlertNode* group = addGroup(tree, QStringLiteral("Books"));
    AlertNode* alert = addAlert(tree, group, QStringLiteral("hp"), QStringLiteral("U.S.A."));
    AlertNode* item = addItem(tree, alert, QStringLiteral("T"), QStringLiteral("A"), false, true);
    AlertTreeView* view = form->vtvCurrentAlerts;
    view->expand(view->indexOf(group));
    view->expand(view->indexOf(alert));
    clickNode(view, item);
    QVERIFY(group->expanded && alert->expanded && item->selected);

    QStringList seen;
    auto watchStatus = [&] {
        QTimer::singleShot(0, form,
                           [&] { seen << form->statusText() + (form->Busy ? QStringLiteral(" (busy)") : QString()); });
    };
    watchStatus();
    form->SaveCurrentAlerts();
    QCOMPARE(form->statusText(), QStringLiteral("Ready"));
    QVERIFY(!form->Busy);
    const QString file = app.home.file(DataFiles::kItems);
    const QByteArray saved = readFile(file);
    QCOMPARE(saved, ItemsFile::encode(tree));
    // The group's states: initialized, expanded, has children, visible.
    QCOMPARE(saved.mid(40, 2), QByteArray("\xE1\x00", 2));

    // The states went into the file; they do not come back from it.
    AlertTree fromFile;
    QVERIFY(ItemsFile::decode(saved, fromFile));
    watchStatus();
    form->LoadCurrentAlerts();
    QCOMPARE(seen, (QStringList{"Saving current alerts (busy)", "Loading current alerts"}));
    QCOMPARE(form->statusText(), QStringLiteral("Ready"));
    QCOMPARE(tree.nodeCount(), 3);
    AlertNode* loadedGroup = tree.root()->child(0);
    QVERIFY(!view->isExpanded(view->indexOf(loadedGroup)));
    QVERIFY(!loadedGroup->expanded && !loadedGroup->child(0)->expanded && !loadedGroup->child(0)->child(0)->selected);
    QVERIFY(view->selectionModel()->selectedRows().isEmpty());

    // Inside a fetch's completion Busy stays set.
    form->Busy = true;
    form->SaveCurrentAlerts();
    QVERIFY(form->Busy);

    // A malformed file empties the tree; the file is kept aside, out of
    // reach of the next save, and the user is told once where it is.
    writeFile(file, saved.left(saved.size() - 3));
    form->LoadCurrentAlerts();
    QVERIFY(tree.isEmpty());
    QVERIFY(!QFileInfo::exists(file));
    const QStringList aside =
        QDir(app.home.dataFolder()).entryList({DataFiles::kItems + QStringLiteral(".unreadable-*")}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^quobex_amazon_items\\.dat\\.unreadable-\\d{8}-\\d{6}$"))
                .match(aside.at(0))
                .hasMatch());
    QCOMPARE(readFile(app.home.file(aside.at(0))), saved.left(saved.size() - 3));
    QCOMPARE(app.messages.errors.size(), 1);
    QVERIFY(app.messages.errors.at(0).contains(file));
    QVERIFY(app.messages.errors.at(0).contains(app.home.file(aside.at(0))));
    QCOMPARE(form->statusText(), QStringLiteral("Ready"));
    form->SaveCurrentAlerts();
    QCOMPARE(readFile(app.home.file(aside.at(0))), saved.left(saved.size() - 3));
    app.messages.errors.clear();

    // No file: the tree stays.
    addGroup(tree, QStringLiteral("DVD"));
    QVERIFY(QFile::remove(file));
    form->LoadCurrentAlerts();
    QCOMPARE(tree.groupCount(), 1);
}

void TestStoreWindow::failedSaveRestoresBusyAndReports()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    addGroup(form->Tree, QStringLiteral("Books"));
    const QString file = app.home.file(DataFiles::kItems);
    QVERIFY(QDir().mkdir(file));
    for (bool busy : {false, true}) {
        form->Busy = busy;
        QVERIFY_THROWS_EXCEPTION(platform::IoError, form->SaveCurrentAlerts());
        QCOMPARE(form->Busy, busy);
        QCOMPARE(form->statusText(), QStringLiteral("Ready"));
    }
    QVERIFY(QFileInfo(file).isDir());
}

void TestStoreWindow::unequalDefinitionsAtStartDiscardItems()
{
    AppHarness app;
    app.home.makeDataFolder();
    const QString folder = app.home.dataFolder();
    writeFile(folder + DataFiles::kVersionMarker, "1.0.8.49");
    writeFile(folder + DataFiles::kKeywords, "a\r\nb\r\nc\r\n");
    writeFile(folder + DataFiles::kItemTypes, "Books\r\nBooks\r\nBooks\r\n");
    writeFile(folder + DataFiles::kLocalizations, "U.S.A.\r\nU.S.A.\r\n");
    AlertTree tree;
    addGroup(tree, QStringLiteral("Books"));
    ItemsFile::save(tree, folder + DataFiles::kItems);
    app.start();
    QCOMPARE(app.form()->Definitions.count(), 0);
    QVERIFY(app.form()->Definitions.isConsistent());
    QVERIFY(!QFileInfo::exists(folder + DataFiles::kItems));
    QVERIFY(app.form()->Tree.isEmpty());
    QCOMPARE(readFile(folder + DataFiles::kLocalizations), QByteArray("U.S.A.\r\nU.S.A.\r\n"));
}

void TestStoreWindow::unwritableOrUnreadableFilesAreReported()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    form->Definitions.KeywordList = {"hp"};
    form->Definitions.ItemTypeList = {"Books"};
    form->Definitions.LocalizationList = {"U.S.A."};
    AlertNode* alert = addAlert(form->Tree, addGroup(form->Tree, QStringLiteral("Books")), "hp", "U.S.A.");
    QVERIFY(QDir().mkdir(app.home.file(DataFiles::kKeywords)));
    form->vtvCurrentAlerts->expandAll();
    chooseFromContextMenu(form, alert, form->DeleteAlert1);
    QCOMPARE(app.messages.errors.size(), 1);
    QCOMPARE(form->Tree.nodeCount(), 2);

    // An index that cannot be read: reported, the list keeps its entries.
    form->LatestAlertList = {"A"};
    QVERIFY(QDir().mkdir(app.home.file(DataFiles::kLatestAlertIndex)));
    form->RefreshLatestAlerts();
    QCOMPARE(app.messages.errors.size(), 2);
    QCOMPARE(form->LatestAlertList, QList<QByteArray>{"A"});
    QCOMPARE(form->grdLatestAlerts->item(0, 0)->text(), QStringLiteral("No title"));
}

void TestStoreWindow::treeViewSettings()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    AlertTreeView* view = form->vtvCurrentAlerts;
    QCOMPARE(view->objectName(), QStringLiteral("vtvCurrentAlerts"));
    QVERIFY(view->isHeaderHidden());
    QCOMPARE(view->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(view->font().pixelSize(), 9);
    QCOMPARE(view->indentation(), 18);
    QVERIFY(view->rootIsDecorated());
    QCOMPARE(view->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(view->toolTip(), QStringLiteral("Right click to add an alert"));

    AlertNode* group = addGroup(form->Tree, QStringLiteral("Books"), 3, 12);
    AlertNode* alert = addAlert(form->Tree, group, QStringLiteral("harry potter"), QStringLiteral("U.S.A."), 0, 2);
    QCOMPARE(view->visualRect(view->indexOf(group)).height(), 18);
    QCOMPARE(view->model()->data(view->indexOf(group)).toString(), QStringLiteral("Books - 3 new, 12 unread"));
    QCOMPARE(view->model()->data(view->indexOf(alert)).toString(),
             QStringLiteral("harry potter (U.S.A.) - 0 new, 2 unread"));

    // A changed record shows once the tree is told.
    group->data.NewCount = 4;
    form->Tree.Invalidate(group);
    QCOMPARE(view->model()->data(view->indexOf(group)).toString(), QStringLiteral("Books - 4 new, 12 unread"));
    QCOMPARE(view->model()->data(view->indexOf(group), Qt::ForegroundRole).value<QColor>(), QColor(0x006699));
    QCOMPARE(view->model()->data(view->indexOf(alert), Qt::ForegroundRole).value<QColor>(), QColor(Qt::black));
    QCOMPARE(form->popupTreeView->actions(),
             (QList<QAction*>{form->AddAlert1, form->DeleteAlert1, form->DeleteEntry1}));
}

void TestStoreWindow::treeViewMouse()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    AlertTreeView* view = form->vtvCurrentAlerts;
    AlertNode* books = addGroup(form->Tree, QStringLiteral("Books"));
    AlertNode* alert = addAlert(form->Tree, books, QStringLiteral("hp"), QStringLiteral("U.S.A."));
    addItem(form->Tree, alert, QStringLiteral("T"), QStringLiteral("A"));
    AlertNode* dvd = addGroup(form->Tree, QStringLiteral("DVD"));

    // A double click expands, another collapses; the state goes into the node.
    doubleClickNode(view, books);
    QVERIFY(view->isExpanded(view->indexOf(books)));
    QVERIFY(books->expanded);
    doubleClickNode(view, books);
    QVERIFY(!view->isExpanded(view->indexOf(books)));
    QVERIFY(!books->expanded);

    // A right click selects the node under the mouse, before any menu.
    QCOMPARE(view->selectedNode(), books);
    QSignalSpy changes(view, &AlertTreeView::selectionChange);
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, centreOf(view, dvd));
    QCOMPARE(view->selectedNode(), dvd);
    QVERIFY(dvd->selected && !books->selected);
    QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, centreOf(view, dvd));
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.at(0).at(0).value<AlertNode*>(), dvd);

    // The menu opens on the right-clicked node.
    chooseFromContextMenu(form, books, form->DeleteAlert1);
    QCOMPARE(app.messages.informed, QStringList{"Please select an alert, not a category."});
}

void TestStoreWindow::expandingScrollsChildrenIntoView()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    AlertTreeView* view = form->vtvCurrentAlerts;
    AlertNode* last = nullptr;
    for (int g = 0; g < 60; ++g)
        last = addGroup(form->Tree, QStringLiteral("G%1").arg(g));
    AlertNode* shortGroup = form->Tree.root()->child(58);
    AlertNode* onlyChild = addAlert(form->Tree, shortGroup, QStringLiteral("one"), QStringLiteral("U.K."));
    for (int a = 0; a < 200; ++a)
        addAlert(form->Tree, last, QStringLiteral("k%1").arg(a), QStringLiteral("U.S.A."));
    QVERIFY(view->viewport()->height() < 59 * 18);

    view->scrollToBottom();
    QVERIFY(inView(view, shortGroup));
    view->expand(view->indexOf(shortGroup));
    QVERIFY(inView(view, onlyChild));
    QVERIFY(inView(view, shortGroup));

    // More children than fit: the node goes to the top, its children below.
    view->scrollToTop();
    view->scrollTo(view->indexOf(last), QAbstractItemView::PositionAtBottom);
    view->expand(view->indexOf(last));
    QCOMPARE(view->visualRect(view->indexOf(last)).top(), 0);
    QVERIFY(inView(view, last->child(0)));

    // A long title scrolls sideways; focusing another node keeps the offset.
    addItem(form->Tree, onlyChild, QString(400, QChar(u'W')), QStringLiteral("A"));
    view->expand(view->indexOf(onlyChild));
    QTRY_VERIFY(view->horizontalScrollBar()->maximum() > 0);
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    const int offset = view->horizontalScrollBar()->value();
    view->focusNode(form->Tree.root()->child(0));
    QVERIFY(inView(view, form->Tree.root()->child(0)));
    QCOMPARE(view->horizontalScrollBar()->value(), offset);
}

void TestStoreWindow::selectedRowsKeepTheirStyle()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    AlertTreeView* view = form->vtvCurrentAlerts;
    AlertNode* group = addGroup(form->Tree, QStringLiteral("Books"));
    AlertNode* alert = addAlert(form->Tree, group, QStringLiteral("hp"), QStringLiteral("U.S.A."));
    AlertNode* item = addItem(form->Tree, alert, QStringLiteral("WWWWWWWWWWWW"), QStringLiteral("A"), true, true);
    view->expandAll();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    view->setFocus();
    QTRY_VERIFY(view->hasFocus());
    clickNode(view, item);
    QCOMPARE(view->selectedNode(), item);

    const QRect row = view->visualRect(view->indexOf(item));
    QImage image = pixels(view->viewport());
    QVERIFY(countColour(image, row, kAmber) > row.width() * row.height() / 2);
    QVERIFY(countBlueInk(image, row) > 10);

    // Without the focus the selection is drawn in the button face colour.
    form->btnAddAlert->setFocus();
    QTRY_VERIFY(!view->hasFocus());
    image = pixels(view->viewport());
    QCOMPARE(countColour(image, row, kAmber), 0);
    QVERIFY(countColour(image, row, view->palette().color(QPalette::Button).rgb()) > row.width() * row.height() / 2);
    QVERIFY(countBlueInk(image, row) > 10);
}

void TestStoreWindow::latestAlertsWithoutIndex()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    LatestAlertsGrid* grid = form->grdLatestAlerts;
    QCOMPARE(grid->objectName(), QStringLiteral("grdLatestAlerts"));
    QCOMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->columnCount(), 1);
    QCOMPARE(grid->columnWidth(0), 333);
    QCOMPARE(grid->rowHeight(0), 15);
    QVERIFY(form->LatestAlertList.isEmpty());

    const QRect cell = grid->visualRect(grid->model()->index(0, 0));
    const QImage image = pixels(grid->viewport());
    QVERIFY(countColour(image, cell, kAmber) > cell.width() * cell.height() / 2);
    // "No alerts yet." sits in the middle, not at the left edge.
    QVERIFY(countBlueInk(image, QRect(cell.center().x() - 40, cell.top(), 80, cell.height())) > 20);
    QCOMPARE(countBlueInk(image, QRect(cell.left(), cell.top(), 60, cell.height())), 0);

    addItem(form->Tree, addAlert(form->Tree, addGroup(form->Tree, QStringLiteral("Books")), "k", "L"), "T", "A");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(form->vtvCurrentAlerts->selectedNode(), nullptr);
    QCOMPARE(form->CurrentItemNode, nullptr);
}

void TestStoreWindow::latestAlertsRowsAndSelection()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    AlertTree& tree = form->Tree;
    AlertTreeView* view = form->vtvCurrentAlerts;
    LatestAlertsGrid* grid = form->grdLatestAlerts;
    AlertNode* books = addGroup(tree, QStringLiteral("Books"));
    AlertNode* first = addAlert(tree, books, QStringLiteral("a"), QStringLiteral("U.S.A."));
    AlertNode* second = addAlert(tree, books, QStringLiteral("b"), QStringLiteral("U.S.A."));
    AlertNode* sharedFirst = addItem(tree, first, QStringLiteral("Shared under a"), QStringLiteral("S"));
    addItem(tree, second, QStringLiteral("Shared under b"), QStringLiteral("S"));
    for (int g = 0; g < 40; ++g)
        addGroup(tree, QStringLiteral("Filler %1").arg(g));
    AlertNode* dvd = addGroup(tree, QStringLiteral("DVD"));
    AlertNode* deep = addItem(tree, addAlert(tree, dvd, QStringLiteral("c"), QStringLiteral("U.K.")),
                              QStringLiteral("Caf\u00e9 \u4e2d"), QStringLiteral("D"));
    writeFile(app.home.file(DataFiles::kLatestAlertIndex), "D\r\nS\r\nS\r\nGONE\r\n\r\n");

    form->RefreshLatestAlerts();
    QCOMPARE(grid->rowCount(), 5);
    QStringList texts;
    for (int row = 0; row < grid->rowCount(); ++row)
        texts << grid->item(row, 0)->text();
    QCOMPARE(texts, (QStringList{"Caf\u00e9 ?", "Shared under a", "Shared under a", "No title", ""}));
    QCOMPARE(grid->currentRow(), 0);

    // The current row is amber, the others white.
    const QImage image = pixels(grid->viewport());
    for (int row = 0; row < 5; ++row) {
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        const QPoint blank(cell.right() - 2, cell.top() + 1);
        QCOMPARE(image.pixel(blank) & 0xFFFFFF, row == 0 ? kAmber : kWhite);
    }

    // A product under collapsed nodes: they open, it comes into view, it is chosen.
    QVERIFY(!view->isExpanded(view->indexOf(dvd)));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(0, 0)).center());
    QVERIFY(view->isExpanded(view->indexOf(dvd)));
    QVERIFY(view->isExpanded(view->indexOf(deep->parent())));
    QVERIFY(inView(view, deep));
    QCOMPARE(view->selectedNode(), deep);
    QCOMPARE(view->focusedNode(), deep);
    QCOMPARE(form->CurrentItemNode, deep);
    QCOMPARE(deep->data.IsRead, kTrue);

    // The first of two nodes with the same ASIN, in pre-order.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(2, 0)).center());
    QCOMPARE(view->selectedNode(), sharedFirst);

    // Another button chooses nothing: no row, no product marked read.
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, grid->visualRect(grid->model()->index(0, 0)).center());
    QCOMPARE(grid->currentRow(), 2);
    QCOMPARE(view->selectedNode(), sharedFirst);

    // "No title": the tree loses its focus, the selection stays.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(3, 0)).center());
    QCOMPARE(view->focusedNode(), nullptr);
    QCOMPARE(view->selectedNode(), sharedFirst);

    // An empty line finds the first group node.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(4, 0)).center());
    QCOMPARE(view->selectedNode(), books);
    QCOMPARE(form->CurrentItemNode, nullptr);

    // Clicking the current row again chooses its product again.
    clickNode(view, dvd);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(4, 0)).center());
    QCOMPARE(view->selectedNode(), books);
}

void TestStoreWindow::latestAlertsKeyboardAndShortening()
{
    AppHarness app;
    app.start();
    TfrmMainForm* form = app.form();
    AlertTree& tree = form->Tree;
    LatestAlertsGrid* grid = form->grdLatestAlerts;
    AlertNode* alert = addAlert(tree, addGroup(tree, QStringLiteral("Books")), "k", "U.S.A.");
    QList<AlertNode*> items;
    QByteArray index;
    for (int i = 0; i < 10; ++i) {
        items << addItem(tree, alert, QStringLiteral("Item %1").arg(i), QStringLiteral("A%1").arg(i));
        index += "A" + QByteArray::number(i) + "\r\n";
    }
    writeFile(app.home.file(DataFiles::kLatestAlertIndex), index);
    form->RefreshLatestAlerts();
    QCOMPARE(grid->rowCount(), 10);

    // Each arrow key step chooses the row's product.
    grid->setFocus();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(0, 0)).center());
    QCOMPARE(form->CurrentItemNode, items[0]);
    for (int row = 1; row <= 7; ++row) {
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->currentRow(), row);
        QCOMPARE(form->CurrentItemNode, items[row]);
    }

    // Shortened to four while the eighth row is current: the fourth becomes
    // current and its product is chosen, read and shown.
    const qint32 unreadBefore = alert->data.UnreadCount;
    writeFile(app.home.file(DataFiles::kLatestAlertIndex), "A5\r\nA6\r\nA7\r\nA2\r\n");
    QVERIFY(items[2]->data.IsRead == kTrue);
    items[2]->data.IsRead = kFalse; // as if it had come back unread
    form->RefreshLatestAlerts();
    QCOMPARE(grid->rowCount(), 4);
    QCOMPARE(grid->currentRow(), 3);
    QCOMPARE(form->CurrentItemNode, items[2]);
    QCOMPARE(items[2]->data.IsRead, kTrue);
    QCOMPARE(alert->data.UnreadCount, unreadBefore - 1);
    QCOMPARE(grid->item(3, 0)->text(), QStringLiteral("Item 2"));

    // An index file that is gone leaves the list as it was.
    QVERIFY(QFile::remove(app.home.file(DataFiles::kLatestAlertIndex)));
    form->RefreshLatestAlerts();
    QCOMPARE(grid->rowCount(), 4);
}

QTEST_MAIN(TestStoreWindow)
#include "tst_store_window.moc"
