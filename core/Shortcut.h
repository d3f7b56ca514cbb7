#pragma once

#include <QtGlobal>

// A key combination as the settings store it: a positional key code and a Carbon modifier mask.
struct Shortcut {
    quint32 keyCode = 0;
    quint32 modifiers = 0;
    bool operator==(const Shortcut&) const = default;
};
