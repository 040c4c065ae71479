#include "quobex/store/AlertTreeModel.h"

#include "quobex/store/TreeDisplay.h"

#include <QApplication>
#include <QColor>
#include <QStyle>

#include <vector>

namespace quobex {

AlertTreeModel::AlertTreeModel(AlertTree& tree, QObject* parent) : QAbstractItemModel(parent), m_tree(tree)
{
    m_tree.addObserver(this);
}

AlertTreeModel::~AlertTreeModel()
{
    m_tree.removeObserver(this);
}

AlertNode* AlertTreeModel::nodeFromIndex(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<AlertNode*>(index.internalPointer()) : nullptr;
}

QModelIndex AlertTreeModel::indexFromNode(const AlertNode* node) const
{
    if (!node || node == m_tree.root() || !node->parent())
        return {};
    return createIndex(node->row(), 0, const_cast<AlertNode*>(node));
}

QModelIndex AlertTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    const AlertNode* owner = parent.isValid() ? nodeFromIndex(parent) : m_tree.root();
    if (column != 0 || row < 0 || row >= owner->childCount())
        return {};
    return createIndex(row, 0, owner->child(row));
}

QModelIndex AlertTreeModel::parent(const QModelIndex& child) const
{
    const AlertNode* node = nodeFromIndex(child);
    return node ? indexFromNode(node->parent()) : QModelIndex();
}

int AlertTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const AlertNode* owner = parent.isValid() ? nodeFromIndex(parent) : m_tree.root();
    return owner->childCount();
}

int AlertTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool AlertTreeModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QString AlertTreeModel::vtvCurrentAlertsGetText(const AlertNode& node)
{
    return TreeDisplay::text(node);
}

QVariant AlertTreeModel::data(const QModelIndex& index, int role) const
{
    const AlertNode* node = nodeFromIndex(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return vtvCurrentAlertsGetText(*node);
    case Qt::ForegroundRole:
        return QColor(QRgb(TreeDisplay::style(*node).colour));
    case Qt::DecorationRole:
        if (!markOf(*node).isEmpty())
            return markIcon();
        return {};
    case Qt::ToolTipRole: {
        const QString mark = markOf(*node);
        return mark.isEmpty() ? QVariant() : QVariant(mark);
    }
    default:
        return {};
    }
}

void AlertTreeModel::setMarkSource(MarkSource source)
{
    m_markSource = std::move(source);
    nodeChanged(nullptr);
}

QString AlertTreeModel::markOf(const AlertNode& node) const
{
    if (!m_markSource || node.level() != AlertNode::Alert)
        return {};
    return m_markSource(node);
}

QIcon AlertTreeModel::markIcon()
{
    return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
}

Qt::ItemFlags AlertTreeModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void AlertTreeModel::nodesAboutToBeInserted(AlertNode* parent, int first, int last)
{
    beginInsertRows(indexFromNode(parent), first, last);
}

void AlertTreeModel::nodesInserted(AlertNode*, int, int)
{
    endInsertRows();
}

void AlertTreeModel::nodesAboutToBeRemoved(AlertNode* parent, int first, int last)
{
    beginRemoveRows(indexFromNode(parent), first, last);
}

void AlertTreeModel::nodesRemoved(AlertNode*, int, int)
{
    endRemoveRows();
}

void AlertTreeModel::nodeChanged(AlertNode* node)
{
    if (node) {
        const QModelIndex at = indexFromNode(node);
        if (at.isValid())
            Q_EMIT dataChanged(at, at);
        return;
    }
    // Every record may have changed: one notice per run of siblings.
    std::vector<const AlertNode*> pending{m_tree.root()};
    while (!pending.empty()) {
        const AlertNode* owner = pending.back();
        pending.pop_back();
        const int count = owner->childCount();
        if (count == 0)
            continue;
        const QModelIndex parentIndex = indexFromNode(owner);
        Q_EMIT dataChanged(index(0, 0, parentIndex), index(count - 1, 0, parentIndex));
        for (int i = 0; i < count; ++i) {
            if (owner->child(i)->childCount() > 0)
                pending.push_back(owner->child(i));
        }
    }
}

void AlertTreeModel::treeAboutToBeReset()
{
    beginResetModel();
}

void AlertTreeModel::treeReset()
{
    endResetModel();
}

} // namespace quobex
