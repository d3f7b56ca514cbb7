#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRectF>

// The rectangle dragged on one screen's frozen image. Points are logical pixels of the screen;
// the crop is taken in the image's device pixels, so it holds exactly the pixels under the
// rectangle whatever the screen's scale.
class RegionDrag {
public:
    explicit RegionDrag(const QImage& frozen);

    void press(QPointF point);
    void moveTo(QPointF point);
    bool isPressed() const { return m_pressed; }

    // Half-open, from the smaller corner: dragging 100 px either way covers 100 px.
    QRectF selection() const;
    // The selection in device pixels of the image, clipped to it.
    QRect devicePixels() const;
    // A press and release that moved less than this many device pixels either way is a click.
    static constexpr int minimumSide = 4;
    bool isClick() const;
    // The crop (device pixel ratio 1); null when the drag was a click.
    QImage crop() const;

private:
    QImage m_frozen;
    bool m_pressed = false;
    QPointF m_start;
    QPointF m_end;
};
