#pragma once

#include <functional>

#include <QtGlobal>

// One global shortcut, registered from construction until destruction. Presses reach the
// callback on the main thread, through a process-wide registry keyed by id: a newer HotKey with
// the same id takes over the presses, and destroying a HotKey removes only its own entry.
class HotKey {
public:
    static constexpr quint32 mainId = 1;       // read the selection, open the popup
    static constexpr quint32 screenshotId = 2; // screenshot text recognition
    static constexpr quint32 escapeId = 3;     // closes the popup while it is shown

    HotKey(quint32 keyCode, quint32 modifiers, quint32 id, std::function<void()> callback);
    ~HotKey();
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;

    bool isRegistered() const { return m_registered; }
    quint32 hotKeyID() const { return m_id; }
    quint32 keyCode() const { return m_keyCode; }
    quint32 modifiers() const { return m_modifiers; }

private:
    static void dispatch(quint32 id);

    std::function<void()> m_callback;
    quint32 m_id;
    quint32 m_keyCode;
    quint32 m_modifiers;
    bool m_registered = false;
};
