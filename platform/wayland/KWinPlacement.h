#pragma once

#include <QString>

#include "platform/wayland/WaylandPlacement.h"

// Panels on KWin: a script loaded once at start over D-Bus (org.kde.kwin.Scripting) puts every
// panel window of this process 12 px right of and below the pointer, inside the screen's work
// area, and keeps it above the others. Unloaded again when Quillo ends.
class KWinPlacement final : public WaylandPlacement {
public:
    bool opensAtPointer() const override { return true; }
    KWinPlacement();
    ~KWinPlacement() override;

    // The script for this process's panels (KWin 5.27 and 6 names alike).
    static QString panelScript(qint64 pid);

private:
    QString m_pluginName;
    QString m_scriptPath;
};
