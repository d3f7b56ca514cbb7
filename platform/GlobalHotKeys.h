#pragma once

#include <functional>

#include <QtGlobal>

// Key combinations taken for the whole desktop session. Key codes and modifier masks are the
// stored ones: positional key codes and Carbon masks.
class GlobalHotKeys {
public:
    using PressedHandler = std::function<void(quint32 id)>;

    virtual ~GlobalHotKeys() = default;

    // Takes the combination and reports its presses under id. Answers at once: false when another
    // client holds the combination, this process holds it already, or the keyboard has no such key.
    virtual bool grab(quint32 keyCode, quint32 modifiers, quint32 id) = 0;
    virtual void ungrab(quint32 keyCode, quint32 modifiers) = 0;

    // Called on the main thread once per press, when the key comes up again (auto-repeat ignored),
    // so whatever the handler sends to other applications no longer collides with our grab.
    virtual void setPressedHandler(PressedHandler handler) = 0;
};
