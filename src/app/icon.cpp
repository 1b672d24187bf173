#include "app/icon.h"
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath tile;
    tile.addRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.2, s * 0.2);
    painter.fillPath(tile, QColor(192, 255, 192));
    painter.setPen(QPen(QColor(40, 120, 60), s * 0.05));
    painter.drawPath(tile);
    // Eyes ^ ^ and a smiling mouth.
    QPen face(QColor(60, 60, 60), s * 0.07, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(face);
    painter.drawPolyline(
        QPolygonF({QPointF(s * 0.22, s * 0.45), QPointF(s * 0.32, s * 0.33), QPointF(s * 0.42, s * 0.45)}));
    painter.drawPolyline(
        QPolygonF({QPointF(s * 0.58, s * 0.45), QPointF(s * 0.68, s * 0.33), QPointF(s * 0.78, s * 0.45)}));
    painter.drawArc(QRectF(s * 0.36, s * 0.48, s * 0.28, s * 0.2), 200 * 16, 140 * 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 160, 200));
    painter.drawEllipse(QRectF(s * 0.14, s * 0.56, s * 0.14, s * 0.08));
    painter.drawEllipse(QRectF(s * 0.72, s * 0.56, s * 0.14, s * 0.08));
    return pixmap;
}
} // namespace

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(drawIcon(size));
    return icon;
}
