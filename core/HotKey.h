#pragma once

#include <functional>
#include <memory>

#include "core/Shortcut.h"

class GlobalHotKeys;

// One global shortcut, registered from construction until destruction. Presses reach the
// callback on the main thread, routed by id to the newest registered HotKey with that id; a
// HotKey whose grab failed takes over nothing. Live HotKeys of the same combination and id share
// one grab, released with the last of them, so a shortcut is re-armed by making the new HotKey
// before destroying the old one, with no moment in which the combination is free.
class HotKey {
public:
    static constexpr quint32 mainId = 1;       // read the selection, open the popup
    static constexpr quint32 screenshotId = 2; // screenshot text recognition
    static constexpr quint32 escapeId = 3;     // closes the popup while it is shown

    HotKey(Shortcut shortcut, quint32 id, std::function<void()> callback);
    ~HotKey();
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    bool isRegistered() const { return m_registered; }
    quint32 hotKeyID() const { return m_id; }
    Shortcut shortcut() const { return m_shortcut; }

private:
    static void dispatch(quint32 id);

    std::function<void()> m_callback;
    quint32 m_id;
    Shortcut m_shortcut;
    std::shared_ptr<GlobalHotKeys> m_service; // the one that holds the grab
    bool m_registered = false;
};
