#include "ocr/RegionDrag.h"

#include <cmath>

RegionDrag::RegionDrag(const QImage& frozen)
    : m_frozen(frozen)
{
}

void RegionDrag::press(QPointF point)
{
    m_pressed = true;
    m_start = m_end = point;
}

void RegionDrag::moveTo(QPointF point)
{
    if (m_pressed)
        m_end = point;
}

QRectF RegionDrag::selection() const
{
    return QRectF(std::min(m_start.x(), m_end.x()), std::min(m_start.y(), m_end.y()), std::abs(m_end.x() - m_start.x()),
                  std::abs(m_end.y() - m_start.y()));
}

QRect RegionDrag::devicePixels() const
{
    const qreal ratio = m_frozen.devicePixelRatio();
    const QRectF logical = selection();
    const QRect device(
        QPoint(int(std::lround(logical.left() * ratio)), int(std::lround(logical.top() * ratio))),
        QPoint(int(std::lround(logical.right() * ratio)) - 1, int(std::lround(logical.bottom() * ratio)) - 1));
    return device.intersected(m_frozen.rect());
}

bool RegionDrag::isClick() const
{
    const QRect device = devicePixels();
    return device.width() < minimumSide || device.height() < minimumSide;
}

QImage RegionDrag::crop() const
{
    if (!m_pressed || isClick())
        return {};
    QImage cropped = m_frozen.copy(devicePixels());
    cropped.setDevicePixelRatio(1);
    return cropped;
}
