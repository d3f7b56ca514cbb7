#pragma once

#include <QString>

// The current keyboard layout, asked for the character a key produces.
class KeyLayout {
public:
    virtual ~KeyLayout() = default;
    // The character the key (a stored, positional key code) produces without modifiers,
    // or an empty string when it produces none.
    virtual QString characterFor(quint32 keyCode) const = 0;
};
