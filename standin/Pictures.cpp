#include "standin/Pictures.h"

#include <QBuffer>
#include <QColor>
#include <QCryptographicHash>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>

#include <mutex>

namespace standin {

namespace {

// Text drawing shares font caches; one picture at a time is plenty.
std::mutex g_paintMutex;

QByteArray png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QPolygonF star(QPointF centre, qreal outer)
{
    QPolygonF polygon;
    for (int i = 0; i < 10; ++i) {
        const qreal radius = i % 2 == 0 ? outer : outer * 0.45;
        const qreal angle = -M_PI / 2 + i * M_PI / 5;
        polygon << centre + QPointF(radius * qCos(angle), radius * qSin(angle));
    }
    return polygon;
}

} // namespace

QByteArray coverPicture(const QString& asin, const QString& title, const QString& byline)
{
    std::lock_guard lock(g_paintMutex);
    const QByteArray hash = QCryptographicHash::hash(asin.toUtf8(), QCryptographicHash::Md5);
    const QColor base =
        QColor::fromHsv(quint8(hash[0]) * 360 / 256, 110 + quint8(hash[1]) % 100, 120 + quint8(hash[2]) % 90);
    QImage image(107, 160, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(image.rect(), base);
    painter.fillRect(QRect(0, 0, 8, 160), base.darker(140));
    painter.setPen(Qt::NoPen);
    painter.setBrush(base.lighter(130));
    painter.drawEllipse(QPointF(70 + quint8(hash[3]) % 30, 110), 28 + quint8(hash[4]) % 14, 28 + quint8(hash[4]) % 14);
    painter.setPen(Qt::white);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(14, 10, 88, 86), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, title);
    font.setPixelSize(9);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(QRect(14, 136, 88, 20), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, byline);
    painter.end();
    return png(image);
}

QByteArray starPicture(const QString& stars)
{
    const QStringList parts = stars.split(u'-');
    bool wholeOk = false;
    bool halfOk = false;
    const int whole = parts.value(0).toInt(&wholeOk);
    const int tenth = parts.value(1).toInt(&halfOk);
    if (parts.size() != 2 || !wholeOk || !halfOk || whole < 0 || whole > 5 || (tenth != 0 && tenth != 5) ||
        (whole == 5 && tenth != 0))
        return {};

    std::lock_guard lock(g_paintMutex);
    QImage image(64, 12, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal filled = whole + tenth / 10.0;
    for (int i = 0; i < 5; ++i) {
        const QPolygonF shape = star(QPointF(6 + i * 13, 6.5), 6);
        painter.setPen(QPen(QColor(0xC0, 0x80, 0x00), 0.8));
        painter.setBrush(QColor(0xE8, 0xE8, 0xE8));
        painter.drawPolygon(shape);
        const qreal part = std::clamp(filled - i, 0.0, 1.0);
        if (part > 0) {
            painter.save();
            painter.setClipRect(QRectF(i * 13, 0, 12 * part, 12));
            painter.setBrush(QColor(0xFA, 0xB2, 0x05));
            painter.drawPolygon(shape);
            painter.restore();
        }
    }
    painter.end();
    return png(image);
}

} // namespace standin
