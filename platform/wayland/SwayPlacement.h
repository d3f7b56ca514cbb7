#pragma once

#include <QString>

#include "platform/wayland/WaylandPlacement.h"

// Panels on sway and other i3-IPC compositors: a rule given once at start makes every panel
// window of this process float above the others on every workspace, without border, from the
// moment it is mapped (no tiled first frame); once it is mapped it is moved to be centred on the
// pointer (sway centres a new floating window on the screen after the rule has run). The move
// waits for the window off the main thread.
class SwayPlacement final : public WaylandPlacement {
public:
    bool opensAtPointer() const override { return true; }
    explicit SwayPlacement(const QString& socketPath);

    void shown(QWindow* window) override;

    // Whether the compositor took the rule.
    bool isActive() const { return m_active; }
    // The rule for this process's panels.
    static QByteArray panelRule(qint64 pid);

private:
    QString m_socketPath;
    bool m_active = false;
};
