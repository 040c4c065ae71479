// The alert tree: structure, lookups, the count rules and change notices.

#include "quobex/model/AlertTree.h"

#include <QTest>

using namespace quobex;

namespace {

AlertNode* addGroup(AlertTree& tree, const QString& itemType)
{
    AlertNode* group = tree.AddChild(tree.root());
    group->data.ItemType = itemType;
    return group;
}

AlertNode* addAlert(AlertTree& tree, AlertNode* group, const QString& keyword, const QString& localization)
{
    AlertNode* alert = tree.AddChild(group);
    alert->data.Keyword = keyword;
    alert->data.Localization = localization;
    alert->data.ItemType = group->data.ItemType;
    return alert;
}

AlertNode* addItem(AlertTree& tree, AlertNode* alert, const QString& asin, const QString& isNew = kTrue,
                   const QString& isRead = kFalse)
{
    AlertNode* item = tree.InsertFirstChild(alert);
    item->data.ASIN = asin;
    item->data.Title = QStringLiteral("Title of ") + asin;
    item->data.IsNew = isNew;
    item->data.IsRead = isRead;
    return item;
}

struct Recorder : AlertTreeObserver {
    QStringList events;
    void nodesAboutToBeInserted(AlertNode*, int first, int last) override
    {
        events << QStringLiteral("insert? %1-%2").arg(first).arg(last);
    }
    void nodesInserted(AlertNode*, int first, int last) override
    {
        events << QStringLiteral("insert %1-%2").arg(first).arg(last);
    }
    void nodesAboutToBeRemoved(AlertNode*, int first, int last) override
    {
        events << QStringLiteral("remove? %1-%2").arg(first).arg(last);
    }
    void nodesRemoved(AlertNode*, int first, int last) override
    {
        events << QStringLiteral("remove %1-%2").arg(first).arg(last);
    }
    void nodeChanged(AlertNode* node) override
    {
        events << (node ? QStringLiteral("changed ") + node->data.ASIN : QStringLiteral("changed all"));
    }
    void treeAboutToBeReset() override { events << QStringLiteral("reset?"); }
    void treeReset() override { events << QStringLiteral("reset"); }
};

} // namespace

class TestModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void levelsAndOrder();
    void lookupsAreExactAndFirstMatchWins();
    void preOrderWalkReachesCollapsedNodes();
    void trimKeepsNewestAndRecounts();
    void trimRecountsFromFlags();
    void markReadLowersUnreadOnce();
    void observersSeeEveryChange();
    void deepSubtreesAreFreedWithoutRecursion();
};

void TestModel::levelsAndOrder()
{
    AlertTree tree;
    AlertNode* group = addGroup(tree, QStringLiteral("Books"));
    AlertNode* us = addAlert(tree, group, QStringLiteral("harry potter"), QStringLiteral("U.S.A."));
    AlertNode* de = addAlert(tree, group, QStringLiteral("harry potter"), QStringLiteral("Germany"));
    AlertNode* older = addItem(tree, us, QStringLiteral("A"));
    AlertNode* newer = addItem(tree, us, QStringLiteral("B"));

    QCOMPARE(group->level(), AlertNode::Group);
    QCOMPARE(us->level(), AlertNode::Alert);
    QCOMPARE(newer->level(), AlertNode::Item);
    QCOMPARE(us->firstChild(), newer); // the newest item stands first
    QCOMPARE(newer->nextSibling(), older);
    QCOMPARE(older->nextSibling(), nullptr);
    QCOMPARE(us->nextSibling(), de);
    QCOMPARE(de->row(), 1);
    QCOMPARE(older->parent(), us);
    QVERIFY(group->isAncestorOf(older));
    QVERIFY(!de->isAncestorOf(older));
    QCOMPARE(tree.nodeCount(), 5);

    tree.DeleteNode(us);
    QCOMPARE(group->childCount(), 1);
    QCOMPARE(group->firstChild(), de);
    QCOMPARE(tree.nodeCount(), 2);
}

void TestModel::lookupsAreExactAndFirstMatchWins()
{
    AlertTree tree;
    AlertNode* books = addGroup(tree, QStringLiteral("Books"));
    AlertNode* lowerBooks = addGroup(tree, QStringLiteral("books"));
    addGroup(tree, QStringLiteral("Books")); // a second of the same key is never found
    AlertNode* us = addAlert(tree, books, QStringLiteral("Potter"), QStringLiteral("U.S.A."));
    AlertNode* lower = addAlert(tree, books, QStringLiteral("potter"), QStringLiteral("U.S.A."));
    AlertNode* item = addItem(tree, us, QStringLiteral("0000000101"));

    QCOMPARE(tree.FindGroup(QStringLiteral("Books")), books);
    QCOMPARE(tree.FindGroup(QStringLiteral("books")), lowerBooks);
    QCOMPARE(tree.FindGroup(QStringLiteral("Books ")), nullptr);
    QCOMPARE(tree.FindAlert(books, QStringLiteral("Potter"), QStringLiteral("U.S.A.")), us);
    QCOMPARE(tree.FindAlert(books, QStringLiteral("potter"), QStringLiteral("U.S.A.")), lower);
    QCOMPARE(tree.FindAlert(books, QStringLiteral("Potter"), QStringLiteral("U.S.A")), nullptr);
    QCOMPARE(tree.FindItem(us, QStringLiteral("0000000101")), item);
    QCOMPARE(tree.FindItem(lower, QStringLiteral("0000000101")), nullptr);
}

void TestModel::preOrderWalkReachesCollapsedNodes()
{
    AlertTree tree;
    AlertNode* g1 = addGroup(tree, QStringLiteral("Books"));
    AlertNode* a1 = addAlert(tree, g1, QStringLiteral("a"), QStringLiteral("U.S.A."));
    AlertNode* a2 = addAlert(tree, g1, QStringLiteral("b"), QStringLiteral("U.S.A."));
    AlertNode* g2 = addGroup(tree, QStringLiteral("DVD"));
    AlertNode* a3 = addAlert(tree, g2, QStringLiteral("c"), QStringLiteral("U.S.A."));
    addItem(tree, a1, QStringLiteral("X"));
    AlertNode* first = addItem(tree, a1, QStringLiteral("Y"));
    AlertNode* second = addItem(tree, a2, QStringLiteral("Y"));
    addItem(tree, a3, QStringLiteral("Z"));

    QStringList order;
    tree.FindFirst([&](const AlertNode& n) {
        order << (n.data.ASIN.isEmpty() ? n.data.ItemType + n.data.Keyword : n.data.ASIN);
        return false;
    });
    QCOMPARE(order, (QStringList{QStringLiteral("Books"), QStringLiteral("Booksa"), QStringLiteral("Y"),
                                 QStringLiteral("X"), QStringLiteral("Booksb"), QStringLiteral("Y"),
                                 QStringLiteral("DVD"), QStringLiteral("DVDc"), QStringLiteral("Z")}));
    const auto byAsin = [](const QString& asin) { return [asin](const AlertNode& n) { return n.data.ASIN == asin; }; };
    QCOMPARE(tree.FindFirst(byAsin(QStringLiteral("Y"))), first);
    QVERIFY(tree.FindFirst(byAsin(QStringLiteral("Y"))) != second);
    QCOMPARE(tree.FindFirst(byAsin(QString())), g1); // group nodes carry no ASIN
    QCOMPARE(tree.FindFirst(byAsin(QStringLiteral("none"))), nullptr);
}

void TestModel::trimKeepsNewestAndRecounts()
{
    AlertTree tree;
    AlertNode* group = addGroup(tree, QStringLiteral("Books"));
    AlertNode* alert = addAlert(tree, group, QStringLiteral("k"), QStringLiteral("U.S.A."));
    for (int i = 0; i < 25; ++i)
        addItem(tree, alert, QString::number(i));
    AlertNode* exact = addAlert(tree, group, QStringLiteral("exact"), QStringLiteral("U.S.A."));
    for (int i = 0; i < 20; ++i)
        addItem(tree, exact, QString::number(i));
    AlertNode* empty = addAlert(tree, group, QStringLiteral("empty"), QStringLiteral("U.S.A."));
    empty->data.NewCount = 7;
    empty->data.UnreadCount = 9;

    tree.TrimAndRecount(20);
    QCOMPARE(alert->childCount(), 20);
    QCOMPARE(alert->firstChild()->data.ASIN, QStringLiteral("24")); // newest first
    QCOMPARE(alert->child(19)->data.ASIN, QStringLiteral("5"));     // the five oldest are gone
    QCOMPARE(exact->childCount(), 20);
    QCOMPARE(alert->data.NewCount, 20);
    QCOMPARE(alert->data.UnreadCount, 20);
    QCOMPARE(empty->data.NewCount, 0);
    QCOMPARE(empty->data.UnreadCount, 0);
    QCOMPARE(group->data.NewCount, 40);
    QCOMPARE(group->data.UnreadCount, 40);
}

void TestModel::trimRecountsFromFlags()
{
    AlertTree tree;
    AlertNode* group = addGroup(tree, QStringLiteral("Books"));
    AlertNode* alert = addAlert(tree, group, QStringLiteral("k"), QStringLiteral("U.S.A."));
    // IsNew counts only when exactly "true"; IsRead is unread unless exactly "true".
    addItem(tree, alert, QStringLiteral("1"), kTrue, kFalse);
    addItem(tree, alert, QStringLiteral("2"), QStringLiteral("True"), kTrue);
    addItem(tree, alert, QStringLiteral("3"), kFalse, QString());
    addItem(tree, alert, QStringLiteral("4"), QString(), QStringLiteral("TRUE"));
    addItem(tree, alert, QStringLiteral("5"), kTrue, kTrue);
    AlertNode* other = addAlert(tree, group, QStringLiteral("o"), QStringLiteral("U.K."));
    addItem(tree, other, QStringLiteral("6"), kTrue, kFalse);

    tree.TrimAndRecount(50);
    QCOMPARE(alert->data.NewCount, 2);
    QCOMPARE(alert->data.UnreadCount, 3);
    QCOMPARE(group->data.NewCount, 3);
    QCOMPARE(group->data.UnreadCount, 4);
}

void TestModel::markReadLowersUnreadOnce()
{
    AlertTree tree;
    AlertNode* group = addGroup(tree, QStringLiteral("Books"));
    AlertNode* alert = addAlert(tree, group, QStringLiteral("k"), QStringLiteral("U.S.A."));
    AlertNode* item = addItem(tree, alert, QStringLiteral("1"));
    AlertNode* odd = addItem(tree, alert, QStringLiteral("2"), kTrue, QString());
    alert->data.UnreadCount = 2;
    group->data.UnreadCount = 5;

    QVERIFY(tree.MarkRead(item));
    QCOMPARE(item->data.IsRead, kTrue);
    QCOMPARE(item->data.IsNew, kTrue); // reading leaves "new" alone
    QCOMPARE(alert->data.UnreadCount, 1);
    QCOMPARE(group->data.UnreadCount, 4);
    QVERIFY(!tree.MarkRead(item)); // a second reading changes no count
    QCOMPARE(alert->data.UnreadCount, 1);
    QVERIFY(!tree.MarkRead(odd)); // only exactly "false" was counted unread
    QCOMPARE(odd->data.IsRead, kTrue);
    QCOMPARE(group->data.UnreadCount, 4);
}

void TestModel::observersSeeEveryChange()
{
    AlertTree tree;
    Recorder recorder;
    tree.addObserver(&recorder);
    AlertNode* group = tree.AddChild(tree.root());
    AlertNode* alert = tree.AddChild(group);
    AlertNode* item = tree.InsertFirstChild(alert);
    item->data.ASIN = QStringLiteral("A");
    tree.Invalidate(item);
    tree.InsertFirstChild(alert);
    tree.InsertFirstChild(alert);
    tree.DeleteChildrenFrom(alert, 1);
    tree.DeleteNode(alert);
    AlertTree other;
    other.AddChild(other.root());
    tree.TakeContentOf(other);
    QVERIFY(other.isEmpty());
    QCOMPARE(tree.groupCount(), 1);
    tree.Clear();
    tree.removeObserver(&recorder);
    tree.AddChild(tree.root());

    QCOMPARE(recorder.events,
             (QStringList{QStringLiteral("insert? 0-0"), QStringLiteral("insert 0-0"), QStringLiteral("insert? 0-0"),
                          QStringLiteral("insert 0-0"), QStringLiteral("insert? 0-0"), QStringLiteral("insert 0-0"),
                          QStringLiteral("changed A"), QStringLiteral("insert? 0-0"), QStringLiteral("insert 0-0"),
                          QStringLiteral("insert? 0-0"), QStringLiteral("insert 0-0"), QStringLiteral("remove? 1-2"),
                          QStringLiteral("remove 1-2"), QStringLiteral("remove? 0-0"), QStringLiteral("remove 0-0"),
                          QStringLiteral("reset?"), QStringLiteral("reset"), QStringLiteral("reset?"),
                          QStringLiteral("reset")}));
}

void TestModel::deepSubtreesAreFreedWithoutRecursion()
{
    AlertTree tree;
    AlertNode* node = tree.root();
    for (int i = 0; i < 100000; ++i)
        node = tree.AddChild(node);
    QCOMPARE(node->level(), AlertNode::Item);
    tree.DeleteNode(tree.root()->firstChild());
    QVERIFY(tree.isEmpty());
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
