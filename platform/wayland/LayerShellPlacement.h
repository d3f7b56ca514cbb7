#pragma once

#include <functional>
#include <optional>

#include <QPoint>
#include <QRect>
#include <QSize>

#include "platform/wayland/WaylandPlacement.h"

// Panels as overlay layer surfaces (wlr-layer-shell, through layer-shell-qt): above every
// window, fullscreen ones included, on the pointer's screen with the top-left corner 12 px from
// the pointer and kept inside that screen, asking for the keyboard only on demand (a click into
// the panel): sway leaves it with the editor, KWin 6 gives it to the panel as it maps. Built only
// where layer-shell-qt for Qt 6.5 or newer is found.
class LayerShellPlacement final : public WaylandPlacement {
public:
    // Where the pointer is on the desktop; asked once per showing, nothing when unknown.
    using PointerSource = std::function<std::optional<QPoint>()>;

    explicit LayerShellPlacement(PointerSource pointer);

    bool opensAtPointer() const override { return true; }
    void aboutToShow(QWindow* window) override;

    // The panel's corner, relative to its screen, for a panel of that size and the pointer.
    static QPoint cornerOnScreen(QPoint pointer, QRect screen, QSize panel);

private:
    PointerSource m_pointer;
};
