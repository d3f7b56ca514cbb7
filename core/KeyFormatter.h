#pragma once

#include <memory>

#include <QString>
#include <QStringList>
#include <Qt>

#include "core/Shortcut.h"
#include "platform/KeyLayout.h"

// Display texts of shortcuts and the rules a shortcut must follow. Texts use the words and order
// GNOME and KDE show in both languages: "Ctrl+Alt+Shift+Super+" then the key, e.g. "Alt+Super+E".
// The few keys named by a word take it from the interface's language through setWordNames.
// Key codes and modifier masks are the stored ones: positional key codes and Carbon masks
// (command is Super, option is Alt), so config.json files keep their meaning.
class KeyFormatter {
public:
    static constexpr quint32 commandMask = 0x0100;
    static constexpr quint32 shiftMask = 0x0200;
    static constexpr quint32 optionMask = 0x0800;
    static constexpr quint32 controlMask = 0x1000;

    static QString format(quint32 keyCode, quint32 carbonModifiers);
    static QString format(Shortcut shortcut) { return format(shortcut.keyCode, shortcut.modifiers); }
    // The held modifiers' names in display order: Ctrl, Alt, Shift, Super; unknown bits show nothing.
    static QStringList modifierNames(quint32 carbonModifiers);
    // Function-key table, else special-key table, else the layout's character upper-cased;
    // "?" when the key produces nothing.
    static QString displayChar(quint32 keyCode);
    static bool isFunctionKey(quint32 keyCode);
    // Super, Alt or Ctrl; Shift alone does not count.
    static bool hasRequiredModifier(quint32 carbonModifiers);
    // Super → command, Alt → option, Ctrl → control, Shift → shift; every other flag is dropped.
    static quint32 carbonModifiers(Qt::KeyboardModifiers modifiers);

    // Keys whose names are words, which the interface's language decides.
    enum class WordKey { enter, space, backspace };
    using WordNames = QString (*)(WordKey);
    // Asked each time such a key is shown, so a change of language shows at once; English
    // ("Return", "Space", "Backspace") until names are installed or after nullptr.
    static void setWordNames(WordNames names);

    // The layout asked by displayChar; a US layout until the session's one is installed.
    static void setLayout(std::shared_ptr<const KeyLayout> layout);
};
