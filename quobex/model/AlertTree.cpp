#include "quobex/model/AlertTree.h"

#include <algorithm>

namespace quobex {

AlertNode* AlertNode::nextSibling() const
{
    if (!m_parent)
        return nullptr;
    const int next = row() + 1;
    return next < m_parent->childCount() ? m_parent->child(next) : nullptr;
}

int AlertNode::row() const
{
    if (!m_parent)
        return 0;
    const auto& siblings = m_parent->m_children;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() == this)
            return int(i);
    }
    return -1;
}

AlertNode::Level AlertNode::level() const
{
    int depth = 0;
    for (const AlertNode* n = this; n->m_parent; n = n->m_parent)
        ++depth;
    return Level(std::min(depth, int(Item)));
}

bool AlertNode::isAncestorOf(const AlertNode* node) const
{
    for (const AlertNode* n = node; n; n = n->m_parent) {
        if (n == this)
            return true;
    }
    return false;
}

AlertTree::AlertTree() = default;

AlertTree::~AlertTree()
{
    // Deep trees must not recurse through unique_ptr destructors.
    Clear();
}

AlertNode* AlertTree::AddChild(AlertNode* parent)
{
    const int row = parent->childCount();
    notify([&](AlertTreeObserver& o) { o.nodesAboutToBeInserted(parent, row, row); });
    auto node = std::make_unique<AlertNode>();
    node->m_parent = parent;
    AlertNode* added = node.get();
    parent->m_children.push_back(std::move(node));
    notify([&](AlertTreeObserver& o) { o.nodesInserted(parent, row, row); });
    return added;
}

AlertNode* AlertTree::InsertFirstChild(AlertNode* parent)
{
    notify([&](AlertTreeObserver& o) { o.nodesAboutToBeInserted(parent, 0, 0); });
    auto node = std::make_unique<AlertNode>();
    node->m_parent = parent;
    AlertNode* added = node.get();
    parent->m_children.insert(parent->m_children.begin(), std::move(node));
    notify([&](AlertTreeObserver& o) { o.nodesInserted(parent, 0, 0); });
    return added;
}

void AlertTree::destroySubtree(std::unique_ptr<AlertNode> top)
{
    // Without recursion, however deep the subtree is.
    std::vector<std::unique_ptr<AlertNode>> pending;
    pending.push_back(std::move(top));
    while (!pending.empty()) {
        std::unique_ptr<AlertNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->m_children)
            pending.push_back(std::move(child));
    }
}

void AlertTree::DeleteNode(AlertNode* node)
{
    AlertNode* parent = node->parent();
    if (!parent)
        return;
    const int row = node->row();
    notify([&](AlertTreeObserver& o) { o.nodesAboutToBeRemoved(parent, row, row); });
    std::unique_ptr<AlertNode> owned = std::move(parent->m_children[size_t(row)]);
    parent->m_children.erase(parent->m_children.begin() + row);
    destroySubtree(std::move(owned));
    notify([&](AlertTreeObserver& o) { o.nodesRemoved(parent, row, row); });
}

void AlertTree::DeleteChildrenFrom(AlertNode* parent, int first)
{
    const int last = parent->childCount() - 1;
    if (first > last)
        return;
    notify([&](AlertTreeObserver& o) { o.nodesAboutToBeRemoved(parent, first, last); });
    for (int i = last; i >= first; --i) {
        std::unique_ptr<AlertNode> owned = std::move(parent->m_children[size_t(i)]);
        parent->m_children.pop_back();
        destroySubtree(std::move(owned));
    }
    notify([&](AlertTreeObserver& o) { o.nodesRemoved(parent, first, last); });
}

void AlertTree::Clear()
{
    if (m_root.m_children.empty())
        return;
    notify([](AlertTreeObserver& o) { o.treeAboutToBeReset(); });
    auto children = std::move(m_root.m_children);
    m_root.m_children.clear();
    for (auto& child : children)
        destroySubtree(std::move(child));
    notify([](AlertTreeObserver& o) { o.treeReset(); });
}

void AlertTree::TakeContentOf(AlertTree& other)
{
    notify([](AlertTreeObserver& o) { o.treeAboutToBeReset(); });
    auto old = std::move(m_root.m_children);
    m_root.m_children = std::move(other.m_root.m_children);
    other.m_root.m_children.clear();
    for (auto& child : m_root.m_children)
        child->m_parent = &m_root;
    for (auto& child : old)
        destroySubtree(std::move(child));
    notify([](AlertTreeObserver& o) { o.treeReset(); });
}

void AlertTree::Invalidate(AlertNode* node)
{
    notify([&](AlertTreeObserver& o) { o.nodeChanged(node); });
}

void AlertTree::InvalidateAll()
{
    notify([](AlertTreeObserver& o) { o.nodeChanged(nullptr); });
}

AlertNode* AlertTree::FindGroup(const QString& itemType) const
{
    for (const auto& group : m_root.m_children) {
        if (group->data.ItemType == itemType)
            return group.get();
    }
    return nullptr;
}

AlertNode* AlertTree::FindAlert(const AlertNode* group, const QString& keyword, const QString& localization) const
{
    for (const auto& alert : group->m_children) {
        if (alert->data.Keyword == keyword && alert->data.Localization == localization)
            return alert.get();
    }
    return nullptr;
}

AlertNode* AlertTree::FindItem(const AlertNode* alert, const QString& asin) const
{
    for (const auto& item : alert->m_children) {
        if (item->data.ASIN == asin)
            return item.get();
    }
    return nullptr;
}

AlertNode* AlertTree::FindFirst(const std::function<bool(const AlertNode&)>& match) const
{
    // Pre-order without recursion: a stack of the siblings still to visit.
    std::vector<const AlertNode*> pending;
    for (auto it = m_root.m_children.rbegin(); it != m_root.m_children.rend(); ++it)
        pending.push_back(it->get());
    while (!pending.empty()) {
        const AlertNode* node = pending.back();
        pending.pop_back();
        if (match(*node))
            return const_cast<AlertNode*>(node);
        for (auto it = node->m_children.rbegin(); it != node->m_children.rend(); ++it)
            pending.push_back(it->get());
    }
    return nullptr;
}

int AlertTree::nodeCount() const
{
    int count = 0;
    FindFirst([&](const AlertNode&) {
        ++count;
        return false;
    });
    return count;
}

void AlertTree::TrimAndRecount(int keepArticles)
{
    for (auto& group : m_root.m_children) {
        qint32 groupNew = 0;
        qint32 groupUnread = 0;
        for (auto& alert : group->m_children) {
            if (alert->childCount() > keepArticles)
                DeleteChildrenFrom(alert.get(), std::max(keepArticles, 0));
            qint32 fresh = 0;
            qint32 unread = 0;
            for (const auto& item : alert->m_children) {
                if (isTrue(item->data.IsNew))
                    ++fresh;
                if (!isTrue(item->data.IsRead))
                    ++unread;
            }
            alert->data.NewCount = fresh;
            alert->data.UnreadCount = unread;
            groupNew = countMore(groupNew, fresh);
            groupUnread = countMore(groupUnread, unread);
        }
        group->data.NewCount = groupNew;
        group->data.UnreadCount = groupUnread;
    }
    InvalidateAll();
}

bool AlertTree::MarkRead(AlertNode* item)
{
    const bool wasUnread = item->data.IsRead == kFalse;
    AlertNode* alert = item->parent();
    AlertNode* group = alert ? alert->parent() : nullptr;
    // Counts come from the items file and may be anything: they wrap
    // rather than overflow.
    if (wasUnread && alert && alert != &m_root) {
        alert->data.UnreadCount = countLess(alert->data.UnreadCount, 1);
        Invalidate(alert);
        if (group && group != &m_root) {
            group->data.UnreadCount = countLess(group->data.UnreadCount, 1);
            Invalidate(group);
        }
    }
    item->data.IsRead = kTrue;
    Invalidate(item);
    return wasUnread;
}

void AlertTree::addObserver(AlertTreeObserver* observer)
{
    if (!m_observers.contains(observer))
        m_observers.append(observer);
}

void AlertTree::removeObserver(AlertTreeObserver* observer)
{
    m_observers.removeAll(observer);
}

} // namespace quobex
