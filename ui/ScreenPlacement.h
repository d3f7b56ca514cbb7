#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where a panel goes on a desktop of one or more screens. Pure geometry, in the desktop's
// device-independent coordinates (y grows downwards).
namespace ScreenPlacement {

inline constexpr int edgeMargin = 8;     // kept free at every edge of a screen's available area
inline constexpr int pointerOffset = 12; // from the pointer to the panel's top-left corner

struct Screen {
    QRect frame;     // the whole screen
    QRect available; // without panels and docks
};

// The top-left corner of a new panel: 12 right of and 12 below the pointer, clamped into the
// available area of the screen under the pointer (else the first screen). Without any screen,
// the pointer itself.
QPoint openAt(QPoint pointer, const QList<Screen>& screens, QSize size);

// A panel's top-left corner moved just enough to keep it inside the available area of the
// screen it overlaps first (else the first screen), 8 from the edges.
QPoint keptOnScreen(QRect panel, const QList<Screen>& screens);

// Clamps the corner so that the size fits 8 inside the area; the top and left edges win when
// the panel is larger than the area.
QPoint clampInto(QPoint topLeft, QSize size, QRect area);

}
