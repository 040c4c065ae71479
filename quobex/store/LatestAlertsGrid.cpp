#include "quobex/store/LatestAlertsGrid.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace quobex {

namespace {

class CellPainter : public QStyledItemDelegate {
public:
    explicit CellPainter(LatestAlertsGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        m_grid->paintCell(painter, index.column(), index.row(), option.rect);
    }

private:
    LatestAlertsGrid* m_grid;
};

} // namespace

LatestAlertsGrid::LatestAlertsGrid(QWidget* parent) : QTableWidget(1, 1, parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    setColumnWidth(0, kColumnWidth);
    setRowHeight(0, kRowHeight);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(true);
    setItemDelegate(new CellPainter(this));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The top row starts as the current row.
    setCurrentCell(0, 0);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (!m_quiet && current.isValid())
                    Q_EMIT cellSelected(current.column(), current.row());
            });
}

void LatestAlertsGrid::paintCell(QPainter* canvas, int column, int row, const QRect& rect) const
{
    if (m_drawCell)
        m_drawCell(canvas, column, row, rect);
}

QSize LatestAlertsGrid::sizeHint() const
{
    const int frame = 2 * frameWidth();
    return {kColumnWidth + frame, 6 * kRowHeight + frame};
}

void LatestAlertsGrid::setCurrentRowQuietly(int row)
{
    m_quiet = true;
    setCurrentCell(row, 0);
    m_quiet = false;
}

void LatestAlertsGrid::mousePressEvent(QMouseEvent* event)
{
    // Only the left button chooses a row; another would select its product
    // and mark it read without the user meaning to.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    const int before = currentRow();
    const int hit = rowAt(event->position().toPoint().y());
    QTableWidget::mousePressEvent(event);
    // A row that is already current is chosen again by clicking it.
    if (hit >= 0 && hit == before && currentRow() == before)
        Q_EMIT cellSelected(0, hit);
}

} // namespace quobex
