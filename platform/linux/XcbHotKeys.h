#pragma once

#include <memory>
#include <optional>

#include <QList>

#include "platform/GlobalHotKeys.h"
#include "platform/linux/ModifierMap.h"
#include "platform/linux/XConnection.h"

class QSocketNotifier;

// Global shortcuts as passive key grabs on the root window, by physical key code (so they work
// under any layout) and in every NumLock/CapsLock combination. Main thread only.
class XcbHotKeys final : public GlobalHotKeys {
public:
    XcbHotKeys();
    ~XcbHotKeys() override;

    bool grab(quint32 keyCode, quint32 modifiers, quint32 id) override;
    void ungrab(quint32 keyCode, quint32 modifiers) override;
    void setPressedHandler(PressedHandler handler) override { m_handler = std::move(handler); }

private:
    struct Grab {
        xcb_keycode_t keycode;
        quint16 modifiers;
        quint32 id;
    };

    QList<quint16> lockVariants() const;
    void ungrabVariants(xcb_keycode_t keycode, quint16 modifiers, const QList<quint16>& variants);
    void readEvents();
    void handle(const xcb_generic_event_t* event);

    XConnection m_x;
    ModifierMap m_modifierMap{m_x}; // re-read when the server's mapping changes
    QList<Grab> m_grabs;
    std::optional<Grab> m_held; // pressed, waiting for its release
    std::unique_ptr<QSocketNotifier> m_notifier;
    PressedHandler m_handler;
};
