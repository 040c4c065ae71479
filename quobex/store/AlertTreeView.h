#pragma once

#include "quobex/config/Colours.h"

#include "quobex/model/AlertTree.h"
#include "quobex/store/NodeKey.h"

#include <QColor>
#include <QFontMetrics>
#include <QTreeView>

#include <optional>

class QMenu;

namespace quobex {

class AlertTreeModel;

// The alert tree as the user sees it: one line per node in the node's own
// colour and weight, dotted tree lines, a single full-row selection in the
// program's amber, a right click that selects before the menu opens.
// Expanded and selected states are kept in the nodes, for the items file.
class AlertTreeView : public QTreeView {
    Q_OBJECT
public:
    static constexpr int kNodeHeight = 18;
    static constexpr int kIndent = 18;
    static constexpr int kFontPixels = 9;
    static constexpr QRgb kSelectionColour = Colours::kAmberRgb;

    explicit AlertTreeView(AlertTree& tree, QWidget* parent = nullptr);

    AlertTreeModel* alertModel() const { return m_model; }
    void setPopupMenu(QMenu* menu) { m_menu = menu; }

    QModelIndex indexOf(const AlertNode* node) const;
    AlertNode* nodeAt(const QModelIndex& index) const;
    // The selected node, or none.
    AlertNode* selectedNode() const;
    // The node with the focus (the current index), or none.
    AlertNode* focusedNode() const;

    // Gives `node` the focus: its collapsed ancestors expand and it scrolls
    // into view. None takes the focus away. The selection stays.
    void focusNode(AlertNode* node);
    // Makes `node` the only selected node.
    void selectNode(AlertNode* node);

    // Where the user is in the tree, by keys that survive a reload: the
    // expanded nodes, the node at the top of the view, the selected node
    // and the scroll bars.
    struct Place {
        QList<NodeKey> expanded;
        std::optional<NodeKey> top;
        std::optional<NodeKey> selected;
        int vertical = 0;
        int horizontal = 0;
    };
    Place place() const;
    // Brings the view back to `place` as far as its nodes still exist: they
    // expand, the top node comes to the top again (else the scroll bar
    // keeps its value) and the selected node is selected again without
    // telling anyone. Returns that node, or none when it is gone.
    AlertNode* restorePlace(const Place& place);

    // The fill behind a selected row: amber while the tree has the focus,
    // the button face colour otherwise.
    QColor selectionColour() const;

    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    void reset() override;

Q_SIGNALS:
    // The user or the program selected another node (none: nothing is
    // selected). Deleting or reloading nodes is not reported here: whoever
    // holds on to a node watches the tree for that.
    void selectionChange(quobex::AlertNode* node);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

private:
    void onSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void onExpanded(const QModelIndex& index);
    void onCollapsed(const QModelIndex& index);
    void hideInvisibleNodes();
    // The column is as wide as the widest shown text, at least the viewport,
    // so long titles scroll sideways and the selection spans the row.
    void scheduleFit();
    void fitColumn();
    // The width a mark takes in front of a node's text.
    int markWidth(const AlertNode& node) const;

    // How wide a node's row is drawn: indentation, text, margins.
    struct TextWidths {
        explicit TextWidths(const QFont& font);
        int row(const AlertNode& node, int depth) const;
        QFontMetrics plain;
        QFontMetrics bold;
    };

    AlertTreeModel* m_model;
    QMenu* m_menu = nullptr;
    AlertNode* m_reported = nullptr; // the node last reported selected
    bool m_quiet = false;
    bool m_fitPending = false;
};

} // namespace quobex
