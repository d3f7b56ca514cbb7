#pragma once

#include <optional>

#include <QList>
#include <QtGlobal>

// A chord the way the Wayland roads type it: the modifiers to hold, then the key, each named by
// its keysym (the portal's keyboard) and by its evdev code on a US keyboard with the modifier bit
// it sets (a keyboard whose keymap is our own).
struct TypedChord {
    struct Key {
        quint32 keysym = 0;
        quint32 evdev = 0;
        quint32 modifierBit = 0;    // 0 for a plain key
        const char* name = nullptr; // the keysym's name, for modifiers (a letter is its own name)
    };

    QList<Key> modifiers;
    Key key;

    // Nothing for a key other than a letter: only Control+C and Control+V are typed.
    static std::optional<TypedChord> of(quint32 keyCode, quint32 modifiers);
    // Every key a chord may use, for a keymap that holds them all.
    static QList<Key> allKeys();
};
