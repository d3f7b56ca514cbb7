#include "tray/PouchIcon.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

namespace {

// The outline in a 100 × 100 design space, and the halo around it as an area of its own:
// simplifying and stroking cost more than filling, so they are done once for every size.
struct Shapes {
    QPainterPath pouch;
    QPainterPath halo;
};

Shapes makeShapes()
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
    Shapes shapes{shape.simplified(), {}};
    QPainterPathStroker stroker(QPen(Qt::black, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    shapes.halo = stroker.createStroke(shapes.pouch);
    return shapes;
}

QPixmap draw(int size, const QColor& color)
{
    static const Shapes shapes = makeShapes();
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 100.0, size / 100.0);
    QColor halo = color.lightnessF() < 0.5 ? QColor(255, 255, 255, 150) : QColor(0, 0, 0, 150);
    painter.fillPath(shapes.halo, halo);
    painter.fillPath(shapes.pouch, color);
    // The band stands apart from the bag by a gap in the halo's colour.
    painter.setPen(QPen(halo, 3));
    painter.drawLine(QPointF(32, 44), QPointF(68, 44));
    return pixmap;
}

// Draws each size when it is first asked for: a tray shows one, a window's frame another, and
// drawing all of them up front held the tray icon back by a few milliseconds.
class PouchEngine final : public QIconEngine {
public:
    explicit PouchEngine(const QColor& color)
        : m_color(color)
    {
    }

    // In the device's pixels, so a tray on a scaled screen shows it sharp.
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device()->devicePixelRatio();
        painter->drawPixmap(rect, pixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::max(1, std::min(size.width(), size.height()));
        auto drawn = m_drawn.constFind(side);
        if (drawn == m_drawn.cend())
            drawn = m_drawn.insert(side, draw(side, m_color));
        return *drawn;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    // The sizes offered to hosts that take a list, such as a tray over D-Bus.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {{16, 16}, {22, 22}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
    }

    QIconEngine* clone() const override { return new PouchEngine(m_color); }

private:
    QColor m_color;
    QHash<int, QPixmap> m_drawn;
};

}

namespace PouchIcon {

QIcon make(const QColor& color)
{
    return QIcon(new PouchEngine(color));
}

QColor colorFor(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5 ? onDarkPanel : QColor(0x20, 0x20, 0x20);
}

}
