#include "platform/linux/KeyTable.h"

#include "core/KeyFormatter.h"
#include "platform/KeyPositions.h"

namespace KeyTable {

namespace {

// X key codes are evdev codes plus 8.
constexpr xcb_keycode_t x(int evdev)
{
    return static_cast<xcb_keycode_t>(evdev + 8);
}

}

xcb_keycode_t keycode(quint32 storedKeyCode)
{
    return static_cast<xcb_keycode_t>(KeyPositions::scanCode(storedKeyCode));
}

const QList<ModifierKey>& modifierKeys()
{
    static const QList<ModifierKey> keys = {
        {KeyFormatter::controlMask, x(29)},  // Control_L
        {KeyFormatter::optionMask, x(56)},   // Alt_L
        {KeyFormatter::shiftMask, x(42)},    // Shift_L
        {KeyFormatter::commandMask, x(125)}, // Super_L
    };
    return keys;
}

}
