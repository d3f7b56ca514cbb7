#include <gtest/gtest.h>

#include "core/KeyFormatter.h"
#include "settings/KeyNames.h"
#include "settings/L10n.h"
#include "tests/support/ScopedEnv.h"

namespace {

constexpr quint32 cmd = KeyFormatter::commandMask;
constexpr quint32 shift = KeyFormatter::shiftMask;
constexpr quint32 opt = KeyFormatter::optionMask;
constexpr quint32 ctrl = KeyFormatter::controlMask;

TEST(KeyFormatter, TextsAndRules)
{
    // The stored masks of older config.json files (0x900, 0x1800) read as the desktops write them.
    EXPECT_EQ(KeyFormatter::format(Shortcut{14, 0x900}), QStringLiteral("Alt+Super+E"));
    EXPECT_EQ(KeyFormatter::format(1, 0x1800), QStringLiteral("Ctrl+Alt+S"));
    EXPECT_EQ(KeyFormatter::format(126, cmd | opt | shift | ctrl), QStringLiteral("Ctrl+Alt+Shift+Super+↑"));
    EXPECT_EQ(KeyFormatter::format(120, 0), QStringLiteral("F2"));
    EXPECT_EQ(KeyFormatter::format(14, 0x4000 | 0x0001), QStringLiteral("E")) << "unknown bits show nothing";
    for (const auto& [code, text] : {std::pair{49u, "Space"}, {53u, "Esc"}, {122u, "F1"}, {50u, "`"}, {200u, "?"}})
        EXPECT_EQ(KeyFormatter::displayChar(code), QString::fromUtf8(text)) << code;

    // Word keys follow the interface's language once its names are installed, and at once when it changes.
    KeyFormatter::setWordNames(&interfaceKeyName);
    for (const auto& [lang, enter] : {std::pair{"en", "Ctrl+Return"}, {"zh", "Ctrl+回车"}}) {
        const ScopedEnv language("SELVANE_UI_LANG", lang);
        L10n::invalidate();
        EXPECT_EQ(KeyFormatter::format(76, ctrl), QString::fromUtf8(enter)) << lang;
    }
    KeyFormatter::setWordNames(nullptr);
    L10n::invalidate();

    EXPECT_TRUE(KeyFormatter::isFunctionKey(120) && !KeyFormatter::isFunctionKey(14));
    EXPECT_TRUE(KeyFormatter::hasRequiredModifier(ctrl) && !KeyFormatter::hasRequiredModifier(shift));

    EXPECT_EQ(KeyFormatter::carbonModifiers(Qt::MetaModifier | Qt::AltModifier), 0x900u);
    EXPECT_EQ(KeyFormatter::carbonModifiers(Qt::ControlModifier | Qt::ShiftModifier), 0x1200u);
    EXPECT_EQ(KeyFormatter::carbonModifiers(Qt::MetaModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier), 0x100u);
}

}
