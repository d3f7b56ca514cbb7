#pragma once

#include <functional>

#include <QImage>
#include <QWidget>

#include "ocr/RegionDrag.h"

class QScreen;

// One screen covered by its frozen image: a crosshair, the world outside the rectangle dimmed,
// the size in pixels beside it. On X11 it sits above every window (also menus and tooltips) and
// takes the keyboard, so Escape always reaches it; on Wayland it is a full-screen window on its
// screen, which the compositor puts on top and gives the keys.
class RegionOverlay : public QWidget {
public:
    // finished gets the crop, or a null image when the user cancelled (Escape, a click).
    RegionOverlay(QScreen* screen, const QImage& frozen, std::function<void(QImage)> finished);
    // Shows it over its screen.
    void present();

    // What the compositor's window list calls it.
    static constexpr char title[] = "Quillo screen text";

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void grabKeyboardSoon(int triesLeft);
    // The selection with its size label: what a drag step repaints.
    QRect selectionArea() const;
    void followPointer(QPointF position);

    QImage m_frozen;
    RegionDrag m_drag;
    std::function<void(QImage)> m_finished;
};
