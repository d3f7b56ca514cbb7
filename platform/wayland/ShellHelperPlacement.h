#pragma once

#include <QObject>

#include "platform/wayland/WaylandPlacement.h"

// Panels on GNOME Shell with Quillo's helper extension running: once a panel is shown, the
// extension is asked where the pointer is and puts the panel's corner 12 px right of and below
// it, 8 px inside the work area of the pointer's screen, above the other windows. Both calls are
// answered later on the main thread; the panel meanwhile stays where the Shell mapped it.
class ShellHelperPlacement final : public QObject, public WaylandPlacement {
public:
    bool opensAtPointer() const override { return true; }
    void shown(QWindow* window) override;

    static constexpr int pointerOffset = 12;
    static constexpr int screenMargin = 8;
};
