#pragma once

#include "quobex/model/AlertNodeData.h"

#include <QList>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quobex {

class AlertTree;

// One node of the alert tree: a group node (child of the root), an alert
// node (child of a group node) or an item node (below an alert node).
class AlertNode {
public:
    enum Level { Root = 0, Group = 1, Alert = 2, Item = 3 };

    TAlertNodeData data;

    // State that the display shows and the items file keeps.
    bool expanded = false;
    bool selected = false;
    bool visible = true;

    AlertNode* parent() const { return m_parent; }
    int childCount() const { return int(m_children.size()); }
    AlertNode* child(int row) const { return m_children.at(size_t(row)).get(); }
    AlertNode* firstChild() const { return m_children.empty() ? nullptr : m_children.front().get(); }
    AlertNode* nextSibling() const;
    // Index among the parent's children.
    int row() const;
    // Group 1, alert 2, item 3 (deeper nodes count as items); the root 0.
    Level level() const;
    bool isAncestorOf(const AlertNode* node) const;

private:
    friend class AlertTree;
    AlertNode* m_parent = nullptr;
    std::vector<std::unique_ptr<AlertNode>> m_children;
};

// Told of every change of an alert tree, so views follow it.
class AlertTreeObserver {
public:
    virtual ~AlertTreeObserver() = default;
    virtual void nodesAboutToBeInserted(AlertNode* /*parent*/, int /*first*/, int /*last*/) {}
    virtual void nodesInserted(AlertNode* /*parent*/, int /*first*/, int /*last*/) {}
    virtual void nodesAboutToBeRemoved(AlertNode* /*parent*/, int /*first*/, int /*last*/) {}
    virtual void nodesRemoved(AlertNode* /*parent*/, int /*first*/, int /*last*/) {}
    // A record changed: repaint the node.
    virtual void nodeChanged(AlertNode* /*node*/) {}
    virtual void treeAboutToBeReset() {}
    virtual void treeReset() {}
};

// The ordered tree of group, alert and item nodes under an invisible root.
// It belongs to the main thread.
class AlertTree {
public:
    AlertTree();
    ~AlertTree();
    AlertTree(const AlertTree&) = delete;
    AlertTree& operator=(const AlertTree&) = delete;

    AlertNode* root() { return &m_root; }
    const AlertNode* root() const { return &m_root; }
    int groupCount() const { return m_root.childCount(); }
    bool isEmpty() const { return m_root.childCount() == 0; }

    // Appends a new node with an empty record as the last child of `parent`.
    AlertNode* AddChild(AlertNode* parent);
    // Inserts a new node with an empty record as the first child of `parent`.
    AlertNode* InsertFirstChild(AlertNode* parent);
    // Deletes `node` with everything below it.
    void DeleteNode(AlertNode* node);
    // Deletes the children of `parent` from index `first` on.
    void DeleteChildrenFrom(AlertNode* parent, int first);
    void Clear();
    // Moves the whole content of `other` into this tree; `other` ends empty.
    void TakeContentOf(AlertTree& other);
    // Tells the views that the record of `node` changed.
    void Invalidate(AlertNode* node);
    // Tells the views that every record may have changed.
    void InvalidateAll();

    // Linear lookups among one level's children, exact comparison, first match.
    AlertNode* FindGroup(const QString& itemType) const;
    AlertNode* FindAlert(const AlertNode* group, const QString& keyword, const QString& localization) const;
    AlertNode* FindItem(const AlertNode* alert, const QString& asin) const;

    // Walks every node in pre-order (collapsed ones included) and returns the
    // first for which `match` holds, or none.
    AlertNode* FindFirst(const std::function<bool(const AlertNode&)>& match) const;
    int nodeCount() const;

    // Cuts every alert node to its first `keepArticles` item nodes and sets
    // the counts of alert and group nodes from the item flags.
    void TrimAndRecount(int keepArticles);
    // Marks an unread item read: when its IsRead is exactly "false" the
    // unread counts of its alert and group node drop by one. Returns whether
    // counts changed.
    bool MarkRead(AlertNode* item);

    void addObserver(AlertTreeObserver* observer);
    void removeObserver(AlertTreeObserver* observer);

private:
    static void destroySubtree(std::unique_ptr<AlertNode> top);

    // Over the list as it is, without detaching it: a tree without
    // observers, as one being loaded, must not allocate for each change.
    template <typename F> void notify(F&& f)
    {
        for (AlertTreeObserver* o : std::as_const(m_observers))
            f(*o);
    }

    AlertNode m_root;
    QList<AlertTreeObserver*> m_observers;
};

} // namespace quobex
