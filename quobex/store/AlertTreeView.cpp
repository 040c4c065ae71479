#include "quobex/store/AlertTreeView.h"

#include "quobex/store/AlertTreeModel.h"
#include "quobex/store/NodeWatch.h"
#include "quobex/store/TreeDisplay.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

#include <vector>

namespace quobex {

namespace {

constexpr QRgb kLineColour = 0xFF808080;

class AlertNodeDelegate : public QStyledItemDelegate {
public:
    explicit AlertNodeDelegate(AlertTreeView* view) : QStyledItemDelegate(view), m_view(view) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), AlertTreeView::kNodeHeight};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        // The style's focus frame would shade the selection; the focused
        // node gets a plain dotted frame instead.
        QStyleOptionViewItem plain = option;
        plain.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, plain, index);
        if (option.state & QStyle::State_HasFocus) {
            painter->save();
            painter->setPen(QPen(QColor(kLineColour), 1, Qt::DotLine));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
            painter->restore();
        }
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->palette.setColor(QPalette::Highlight, m_view->selectionColour());
        if (const AlertNode* node = m_view->nodeAt(index))
            vtvCurrentAlertsPaintText(*option, *node);
    }

private:
    // Colour and weight by the node's record, for selected rows as well.
    static void vtvCurrentAlertsPaintText(QStyleOptionViewItem& option, const AlertNode& node)
    {
        const TreeDisplay::TextStyle style = TreeDisplay::style(node);
        const QColor colour = QColor(QRgb(style.colour));
        option.palette.setColor(QPalette::Text, colour);
        option.palette.setColor(QPalette::HighlightedText, colour);
        option.font.setBold(style.bold);
    }

    AlertTreeView* m_view;
};

// Every other pixel, as classic tree lines are drawn.
void dottedVertical(QPainter* painter, int x, int top, int bottom)
{
    for (int y = top + ((top ^ x) & 1); y <= bottom; y += 2)
        painter->drawPoint(x, y);
}

void dottedHorizontal(QPainter* painter, int left, int right, int y)
{
    for (int x = left + ((left ^ y) & 1); x <= right; x += 2)
        painter->drawPoint(x, y);
}

} // namespace

AlertTreeView::AlertTreeView(AlertTree& tree, QWidget* parent)
    : QTreeView(parent), m_model(new AlertTreeModel(tree, this))
{
    setModel(m_model);
    setItemDelegate(new AlertNodeDelegate(this));
    setHeaderHidden(true);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Fixed);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideNone);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPixelSize(kFontPixels);
    setFont(tahoma);
    setUniformRowHeights(true);
    setIndentation(kIndent);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setExpandsOnDoubleClick(true);
    setAnimated(false);
    setAllColumnsShowFocus(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::DefaultContextMenu);

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &AlertTreeView::onSelectionChanged);
    connect(this, &QTreeView::expanded, this, &AlertTreeView::onExpanded);
    connect(this, &QTreeView::collapsed, this, &AlertTreeView::onCollapsed);
    scheduleFit();
}

QModelIndex AlertTreeView::indexOf(const AlertNode* node) const
{
    return m_model->indexFromNode(node);
}

AlertNode* AlertTreeView::nodeAt(const QModelIndex& index) const
{
    return m_model->nodeFromIndex(index);
}

AlertNode* AlertTreeView::selectedNode() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : nodeAt(rows.first());
}

AlertNode* AlertTreeView::focusedNode() const
{
    return nodeAt(currentIndex());
}

void AlertTreeView::focusNode(AlertNode* node)
{
    const QModelIndex index = indexOf(node);
    if (!index.isValid()) {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        return;
    }
    std::vector<QModelIndex> ancestors;
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        ancestors.push_back(up);
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
        if (!isExpanded(*it))
            expand(*it);
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    scrollTo(index);
}

void AlertTreeView::selectNode(AlertNode* node)
{
    const QModelIndex index = indexOf(node);
    if (index.isValid())
        selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

AlertTreeView::Place AlertTreeView::place() const
{
    Place place;
    // Pre-order, so a node's ancestors come before it when they expand again.
    m_model->tree().FindFirst([&](const AlertNode& node) {
        if (isExpanded(indexOf(&node)))
            place.expanded.append(NodeKey::of(node));
        return false;
    });
    if (const AlertNode* top = nodeAt(indexAt(QPoint(0, 0))))
        place.top = NodeKey::of(*top);
    if (const AlertNode* selected = selectedNode())
        place.selected = NodeKey::of(*selected);
    place.vertical = verticalScrollBar()->value();
    place.horizontal = horizontalScrollBar()->value();
    return place;
}

AlertNode* AlertTreeView::restorePlace(const Place& place)
{
    const AlertTree& tree = m_model->tree();
    for (const NodeKey& key : place.expanded) {
        if (AlertNode* node = key.find(tree))
            setExpanded(indexOf(node), true);
    }
    AlertNode* selected = place.selected ? place.selected->find(tree) : nullptr;
    if (selected) {
        m_quiet = true;
        selectionModel()->setCurrentIndex(indexOf(selected),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_quiet = false;
    }
    // The scroll bars only know their new range once the rows are laid out.
    executeDelayedItemsLayout();
    updateGeometries();
    // Scrolling to a node would expand its ancestors: only one in view counts.
    const AlertNode* top = place.top ? place.top->find(tree) : nullptr;
    for (const AlertNode* up = top ? top->parent() : nullptr; up && up != tree.root(); up = up->parent()) {
        if (!isExpanded(indexOf(up)))
            top = nullptr;
    }
    if (top)
        scrollTo(indexOf(top), PositionAtTop);
    else
        verticalScrollBar()->setValue(place.vertical);
    horizontalScrollBar()->setValue(place.horizontal);
    return selected;
}

QColor AlertTreeView::selectionColour() const
{
    if (hasFocus() && isActiveWindow())
        return QColor(kSelectionColour);
    return palette().color(QPalette::Active, QPalette::Button);
}

void AlertTreeView::scrollTo(const QModelIndex& index, ScrollHint hint)
{
    // Bringing a node into view never scrolls sideways.
    const int x = horizontalScrollBar()->value();
    QTreeView::scrollTo(index, hint);
    horizontalScrollBar()->setValue(x);
}

void AlertTreeView::reset()
{
    QTreeView::reset();
    m_reported = nullptr;
    hideInvisibleNodes();
    scheduleFit();
}

void AlertTreeView::hideInvisibleNodes()
{
    std::vector<const AlertNode*> pending{m_model->tree().root()};
    while (!pending.empty()) {
        const AlertNode* owner = pending.back();
        pending.pop_back();
        for (int i = 0; i < owner->childCount(); ++i) {
            const AlertNode* child = owner->child(i);
            if (!child->visible)
                setRowHidden(i, indexOf(owner), true);
            if (child->childCount() > 0)
                pending.push_back(child);
        }
    }
}

void AlertTreeView::onSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    for (const QModelIndex& index : deselected.indexes()) {
        if (AlertNode* node = nodeAt(index))
            node->selected = false;
    }
    for (const QModelIndex& index : selected.indexes()) {
        if (AlertNode* node = nodeAt(index))
            node->selected = true;
    }
    AlertNode* now = selectedNode();
    if (now == m_reported)
        return;
    m_reported = now;
    if (!m_quiet)
        Q_EMIT selectionChange(now);
}

void AlertTreeView::onExpanded(const QModelIndex& index)
{
    if (AlertNode* node = nodeAt(index))
        node->expanded = true;
    // As many of the new children as fit come into view, the node itself stays.
    const int children = m_model->rowCount(index);
    if (children > 0) {
        scrollTo(m_model->index(children - 1, 0, index));
        scrollTo(index);
    }
    scheduleFit();
}

void AlertTreeView::onCollapsed(const QModelIndex& index)
{
    if (AlertNode* node = nodeAt(index))
        node->expanded = false;
    scheduleFit();
}

void AlertTreeView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    // A deleted node leaves no selection and no focus behind: the view would
    // otherwise pass them on to a neighbour, as if the user had chosen it.
    const AlertNode* owner = parent.isValid() ? nodeAt(parent) : m_model->tree().root();
    const bool hitsSelection = NodeWatch::removes(owner, start, end, selectedNode());
    const bool hitsFocus = NodeWatch::removes(owner, start, end, focusedNode());
    if (hitsSelection || hitsFocus) {
        m_quiet = true;
        if (hitsSelection)
            selectionModel()->clearSelection();
        if (hitsFocus)
            selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        m_quiet = false;
    }
    QTreeView::rowsAboutToBeRemoved(parent, start, end);
}

void AlertTreeView::rowsInserted(const QModelIndex& parent, int start, int end)
{
    QTreeView::rowsInserted(parent, start, end);
    scheduleFit();
}

void AlertTreeView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    QTreeView::dataChanged(topLeft, bottomRight, roles);
    if (topLeft != bottomRight) {
        scheduleFit();
        return;
    }
    // One record changed (a count, a read mark): the column only ever has to grow.
    if (const AlertNode* node = nodeAt(topLeft)) {
        int depth = 0;
        for (QModelIndex up = topLeft; up.isValid(); up = up.parent())
            ++depth;
        if (TextWidths(font()).row(*node, depth) + markWidth(*node) > header()->sectionSize(0))
            scheduleFit();
    }
}

void AlertTreeView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        // The menu acts on the selected node: a right click selects first.
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid())
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void AlertTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_menu)
        return;
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard && currentIndex().isValid())
        at = viewport()->mapToGlobal(visualRect(currentIndex()).bottomLeft());
    m_menu->exec(at);
}

void AlertTreeView::focusInEvent(QFocusEvent* event)
{
    QTreeView::focusInEvent(event);
    viewport()->update();
}

void AlertTreeView::focusOutEvent(QFocusEvent* event)
{
    QTreeView::focusOutEvent(event);
    viewport()->update();
}

void AlertTreeView::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    scheduleFit();
}

void AlertTreeView::scheduleFit()
{
    if (m_fitPending)
        return;
    m_fitPending = true;
    QTimer::singleShot(0, this, &AlertTreeView::fitColumn);
}

AlertTreeView::TextWidths::TextWidths(const QFont& font)
    : plain(font), bold([&] {
          QFont heavy = font;
          heavy.setBold(true);
          return QFontMetrics(heavy);
      }())
{
}

int AlertTreeView::TextWidths::row(const AlertNode& node, int depth) const
{
    constexpr int kTextMargins = 8;
    const QFontMetrics& metrics = TreeDisplay::style(node).bold ? bold : plain;
    return depth * kIndent + metrics.horizontalAdvance(TreeDisplay::text(node)) + kTextMargins;
}

int AlertTreeView::markWidth(const AlertNode& node) const
{
    constexpr int kIconMargin = 4;
    return m_model->markOf(node).isEmpty() ? 0 : iconSize().width() + kIconMargin;
}

void AlertTreeView::fitColumn()
{
    m_fitPending = false;
    const TextWidths widths(font());
    // Every row that is shown, that is every node whose ancestors are all
    // expanded; collapsed subtrees cost nothing.
    int widest = 0;
    struct Shown {
        QModelIndex index;
        int depth;
    };
    std::vector<Shown> pending{{QModelIndex(), 0}};
    while (!pending.empty()) {
        const Shown at = pending.back();
        pending.pop_back();
        const int rows = m_model->rowCount(at.index);
        for (int row = 0; row < rows; ++row) {
            const QModelIndex child = m_model->index(row, 0, at.index);
            AlertNode* node = nodeAt(child);
            widest = std::max(widest, widths.row(*node, at.depth + 1) + markWidth(*node));
            // Expanding in bulk (expandAll, the * key) tells no one.
            node->expanded = isExpanded(child);
            if (node->expanded)
                pending.push_back({child, at.depth + 1});
        }
    }
    const int width = std::max(viewport()->width(), widest);
    if (header()->sectionSize(0) != width)
        header()->resizeSection(0, width);
}

void AlertTreeView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const
{
    const AlertNode* node = nodeAt(index);
    if (!node)
        return;
    painter->save();
    if (selectionModel()->isSelected(index))
        painter->fillRect(rect, selectionColour());
    else
        painter->fillRect(rect, palette().color(QPalette::Base));

    // One cell of kIndent pixels per level, the node's own cell last.
    const int levels = rect.width() / kIndent;
    const int top = rect.top();
    const int bottom = rect.bottom();
    const int middle = rect.top() + rect.height() / 2;
    auto cellCentre = [&](int level) { return rect.right() + 1 - (levels - level) * kIndent + kIndent / 2; };

    painter->setPen(QColor(kLineColour));
    const int own = levels - 1;
    const int x = cellCentre(own);
    const bool first = node->parent() && node->parent()->parent() == nullptr && node->row() == 0;
    dottedVertical(painter, x, first ? middle : top, node->nextSibling() ? bottom : middle);
    dottedHorizontal(painter, x, x + kIndent / 2, middle);
    // The lines of the ancestors that have siblings below.
    int level = own - 1;
    for (const AlertNode* up = node->parent(); up && up->parent() && level >= 0; up = up->parent(), --level) {
        if (up->nextSibling())
            dottedVertical(painter, cellCentre(level), top, bottom);
    }

    if (node->childCount() > 0) {
        const QRect box(x - 4, middle - 4, 8, 8);
        painter->fillRect(box, Qt::white);
        painter->setPen(QColor(kLineColour));
        painter->drawRect(box);
        painter->setPen(Qt::black);
        painter->drawLine(x - 2, middle, x + 2, middle);
        if (!isExpanded(index))
            painter->drawLine(x, middle - 2, x, middle + 2);
    }
    painter->restore();
}

} // namespace quobex
