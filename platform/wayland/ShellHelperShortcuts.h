#pragma once

#include <QHash>
#include <QObject>
#include <QPair>

#include "platform/GlobalHotKeys.h"

// The user's two shortcuts through Quillo's GNOME Shell helper: the extension binds the keys and
// a press calls our Trigger or TriggerOcr on the session bus (tray/SingleInstance), so presses
// never come through here. What is taken here is only told to the extension. Main thread only.
class ShellHelperShortcuts final : public QObject, public GlobalHotKeys {
public:
    // The main and the screenshot shortcut (ids 1 and 2); others (Escape) are refused.
    bool grab(quint32 keyCode, quint32 modifiers, quint32 id) override;
    void ungrab(quint32 keyCode, quint32 modifiers) override;
    void setPressedHandler(PressedHandler) override { }
    Road road() const override { return {Road::Kind::shellHelper, {}}; }

    // The extension's name of the shortcut with that id; empty for others.
    static QString bindingName(quint32 id);

private:
    QHash<QPair<quint32, quint32>, quint32> m_grabbed; // combination → id
};
