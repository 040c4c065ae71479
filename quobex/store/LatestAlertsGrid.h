#pragma once

#include <QTableWidget>

#include <functional>

namespace quobex {

// The one-column grid of the latest alerts. Its owner paints every cell
// (drawCell) and hears of every row the user moves to, by mouse or keyboard
// (cellSelected), also of a click on the row that is already current.
class LatestAlertsGrid : public QTableWidget {
    Q_OBJECT
public:
    static constexpr int kColumnWidth = 333;
    static constexpr int kRowHeight = 15;

    using DrawCell = std::function<void(QPainter* canvas, int column, int row, const QRect& rect)>;

    explicit LatestAlertsGrid(QWidget* parent = nullptr);

    void setDrawCell(DrawCell draw) { m_drawCell = std::move(draw); }
    void paintCell(QPainter* canvas, int column, int row, const QRect& rect) const;

    // Moves the current row without telling anyone.
    void setCurrentRowQuietly(int row);

    // Room for six rows.
    QSize sizeHint() const override;

Q_SIGNALS:
    void cellSelected(int column, int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    DrawCell m_drawCell;
    bool m_quiet = false;
};

} // namespace quobex
