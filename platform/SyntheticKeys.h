#pragma once

#include <functional>

#include <QtGlobal>

// Key events sent as if typed by the user, and the state of the modifier keys.
class SyntheticKeys {
public:
    using Ready = std::function<void(bool)>;

    virtual ~SyntheticKeys() = default;

    // Whether keys can be sent now (not through Xwayland on Wayland: keys typed there never reach
    // a Wayland application; not before a desktop that asks the user has said yes).
    virtual bool canSend() { return true; }

    // Whether the keys act in other applications only with the user's leave, and land wherever the
    // focus is when they arrive (Wayland: a portal or a virtual keyboard types into the active
    // window, which our panel may be). Such keys are used only where the user allowed it, and
    // only once the target is active.
    virtual bool needsLeave() { return false; }

    // Makes the keys ready; the desktop may ask the user first, unless askUser is false (then only
    // a grant remembered from earlier is used). ready runs on the main thread, at once or later,
    // with whether canSend() now holds.
    virtual void prepare(bool askUser, Ready ready)
    {
        Q_UNUSED(askUser);
        ready(canSend());
    }

    // True while Shift, Control, Alt or Super is held down.
    virtual bool modifiersHeld() = 0;

    // Lets go of any modifier still held, then types the key (stored key code) with the
    // modifiers (Carbon mask) into the focused window. False when nothing could be sent.
    virtual bool sendChord(quint32 keyCode, quint32 modifiers) = 0;

    // Whether keys may be typed into other applications, given the user's choice for keys that
    // need leave.
    bool mayType(bool userAllowed) { return (userAllowed || !needsLeave()) && canSend(); }
};
