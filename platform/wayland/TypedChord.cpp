#include "platform/wayland/TypedChord.h"

#include "core/KeyFormatter.h"
#include "core/UsKeyLayout.h"

namespace {

// evdev codes of a to z on a US keyboard.
constexpr quint32 letterCodes[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                     49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};

// The modifier bits are those of the real modifiers in xkb's order (Shift, Lock, Control, Mod1…).
struct Modifier {
    quint32 mask; // stored (Carbon) mask
    TypedChord::Key key;
};
const Modifier modifierKeys[] = {
    {KeyFormatter::controlMask, {0xffe3, 29, 1u << 2, "Control_L"}},
    {KeyFormatter::shiftMask, {0xffe1, 42, 1u << 0, "Shift_L"}},
    {KeyFormatter::optionMask, {0xffe9, 56, 1u << 3, "Alt_L"}},     // Mod1
    {KeyFormatter::commandMask, {0xffeb, 125, 1u << 6, "Super_L"}}, // Mod4
};

TypedChord::Key letter(int index)
{
    return {quint32('a' + index), letterCodes[index], 0, nullptr};
}

}

std::optional<TypedChord> TypedChord::of(quint32 keyCode, quint32 modifiers)
{
    const QString character = UsKeyLayout().characterFor(keyCode).toLower();
    if (character.size() != 1 || character[0] < QLatin1Char('a') || character[0] > QLatin1Char('z'))
        return std::nullopt;
    TypedChord chord;
    for (const Modifier& modifier : modifierKeys) {
        if (modifiers & modifier.mask)
            chord.modifiers.append(modifier.key);
    }
    chord.key = letter(character[0].unicode() - 'a');
    return chord;
}

QList<TypedChord::Key> TypedChord::allKeys()
{
    QList<Key> keys;
    for (const Modifier& modifier : modifierKeys)
        keys.append(modifier.key);
    for (int i = 0; i < 26; ++i)
        keys.append(letter(i));
    return keys;
}
