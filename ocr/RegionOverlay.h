#pragma once

#include <functional>

#include <QImage>
#include <QWidget>

#include "ocr/RegionDrag.h"

class QScreen;

// One screen covered by its frozen image: a crosshair, the world outside the rectangle dimmed,
// the size in pixels beside it. It sits above every window (also menus and tooltips) and takes
// the keyboard, so Escape always reaches it.
class RegionOverlay : public QWidget {
public:
    // finished gets the crop, or a null image when the user cancelled (Escape, a click).
    RegionOverlay(QScreen* screen, const QImage& frozen, std::function<void(QImage)> finished);

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
