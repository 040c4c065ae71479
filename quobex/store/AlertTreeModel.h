#pragma once

#include "quobex/model/AlertTree.h"

#include <QAbstractItemModel>
#include <QIcon>

#include <functional>

namespace quobex {

// The alert tree as an item model: one column, a node's text from its
// record. It follows the tree through the tree's observer, so the tree stays
// the only store of nodes.
class AlertTreeModel : public QAbstractItemModel, private AlertTreeObserver {
    Q_OBJECT
public:
    explicit AlertTreeModel(AlertTree& tree, QObject* parent = nullptr);
    ~AlertTreeModel() override;

    AlertTree& tree() const { return m_tree; }
    AlertNode* nodeFromIndex(const QModelIndex& index) const;
    QModelIndex indexFromNode(const AlertNode* node) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The node's text, by its level.
    static QString vtvCurrentAlertsGetText(const AlertNode& node);

    // Which alert nodes carry a warning mark, and why: the text is the
    // mark's tooltip, empty for no mark. The node's text stays as it is.
    using MarkSource = std::function<QString(const AlertNode& alert)>;
    void setMarkSource(MarkSource source);
    // The mark of an alert node; empty for other nodes and unmarked alerts.
    QString markOf(const AlertNode& node) const;
    static QIcon markIcon();

private:
    void nodesAboutToBeInserted(AlertNode* parent, int first, int last) override;
    void nodesInserted(AlertNode* parent, int first, int last) override;
    void nodesAboutToBeRemoved(AlertNode* parent, int first, int last) override;
    void nodesRemoved(AlertNode* parent, int first, int last) override;
    void nodeChanged(AlertNode* node) override;
    void treeAboutToBeReset() override;
    void treeReset() override;

    AlertTree& m_tree;
    MarkSource m_markSource;
};

} // namespace quobex
