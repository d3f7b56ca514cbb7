#pragma once

#include <QtGlobal>

// Key events sent as if typed by the user, and the state of the modifier keys.
class SyntheticKeys {
public:
    virtual ~SyntheticKeys() = default;

    // Whether keys can be sent in this session at all (not on Wayland: keys typed into Xwayland
    // never reach a Wayland application).
    virtual bool canSend() { return true; }

    // True while Shift, Control, Alt or Super is held down.
    virtual bool modifiersHeld() = 0;

    // Lets go of any modifier still held, then types the key (stored key code) with the
    // modifiers (Carbon mask) into the focused window. False when nothing could be sent.
    virtual bool sendChord(quint32 keyCode, quint32 modifiers) = 0;
};
