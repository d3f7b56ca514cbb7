#pragma once

#include <QList>

#include <xcb/xproto.h>

// The one translation of stored shortcuts to this keyboard: stored key codes name physical key
// positions, which are X key codes under the evdev rules; the four Carbon modifier bits are
// Super (command), Alt (option), Control and Shift.
namespace KeyTable {

// The X key code of the key at that position; 0 when the position is unknown.
xcb_keycode_t keycode(quint32 storedKeyCode);

struct ModifierKey {
    quint32 carbonBit;
    xcb_keycode_t keycode; // its left-hand key
};
// Control, Alt, Shift, Super: the order a chord presses them in.
const QList<ModifierKey>& modifierKeys();

constexpr xcb_keycode_t numLockKeycode = 69 + 8; // evdev KEY_NUMLOCK

}
