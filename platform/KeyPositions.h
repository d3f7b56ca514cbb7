#pragma once

#include <optional>

#include <QtGlobal>

// Stored key codes name physical key positions. A position's scan code is its evdev code plus 8:
// the X key code, and the native scan code Qt reports for a key event under both X11 and Wayland.
namespace KeyPositions {

// 0 when the position is unknown.
quint32 scanCode(quint32 storedKeyCode);
// The stored key code of a key event's native scan code; nothing for a key without one.
std::optional<quint32> storedKeyCode(quint32 scanCode);

}
