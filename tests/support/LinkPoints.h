#pragma once

#include <QPoint>
#include <QString>
#include <QTextEdit>

namespace testsupport {

// A point of `view`'s viewport where a click follows the link `href` (as the
// page wrote it), or (-1, -1) when the link is nowhere on screen.
inline QPoint pointOfLink(QTextEdit* view, const QString& href)
{
    const QSize size = view->viewport()->size();
    for (int y = 0; y < size.height(); y += 3) {
        for (int x = 0; x < size.width(); x += 3) {
            if (view->anchorAt(QPoint(x, y)) == href)
                return {x, y};
        }
    }
    return {-1, -1};
}

} // namespace testsupport
