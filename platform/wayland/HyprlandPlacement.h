#pragma once

#include <QString>

#include "platform/wayland/WaylandPlacement.h"

// Panels on Hyprland: once a panel is mapped, its socket is asked for the pointer (cursorpos)
// and the window is floated, pinned and moved so its top-left corner is 12 px from the pointer
// (movewindowpixel). Runs off the main thread: the window shows up in the compositor's list a
// moment after Qt shows it.
class HyprlandPlacement final : public WaylandPlacement {
public:
    bool opensAtPointer() const override { return true; }
    explicit HyprlandPlacement(QString socketPath);

    void shown(QWindow* window) override;

    // The batch that floats, pins and moves the window at that address to the point.
    static QByteArray placeBatch(const QString& address, QPoint topLeft);

private:
    QString m_socketPath;
};
