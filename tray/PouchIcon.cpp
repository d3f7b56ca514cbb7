#include "tray/PouchIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

namespace {

// The outline in a 100 × 100 design space.
QPainterPath pouchPath()
{
    QPainterPath bag;
    bag.moveTo(36, 42);
    bag.cubicTo(14, 54, 10, 92, 50, 94);
    bag.cubicTo(90, 92, 86, 54, 64, 42);
    bag.closeSubpath();
    QPainterPath shape = bag;
    shape.addRoundedRect(QRectF(28, 32, 44, 12), 6, 6);
    for (const QPointF centre : {QPointF(38, 20), QPointF(50, 14), QPointF(62, 20)})
        shape.addEllipse(centre, 6, 6);
    return shape.simplified();
}

QPixmap draw(int size, const QColor& color)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 100.0, size / 100.0);
    const QPainterPath path = pouchPath();
    QColor halo = color.lightnessF() < 0.5 ? QColor(255, 255, 255, 150) : QColor(0, 0, 0, 150);
    painter.setPen(QPen(halo, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
    painter.fillPath(path, color);
    // The band stands apart from the bag by a gap in the halo's colour.
    painter.setPen(QPen(halo, 3));
    painter.drawLine(QPointF(32, 44), QPointF(68, 44));
    return pixmap;
}

}

namespace PouchIcon {

QIcon make(const QColor& color)
{
    QIcon icon;
    for (const int size : {16, 18, 22, 24, 32, 48, 64})
        icon.addPixmap(draw(size, color));
    return icon;
}

QColor colorFor(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5 ? onDarkPanel : QColor(0x20, 0x20, 0x20);
}

}
