#include <gtest/gtest.h>

#include "core/KeyFormatter.h"

namespace {

constexpr quint32 cmd = KeyFormatter::commandMask;
constexpr quint32 shift = KeyFormatter::shiftMask;
constexpr quint32 opt = KeyFormatter::optionMask;
constexpr quint32 ctrl = KeyFormatter::controlMask;

TEST(KeyFormatter, ModifiersAlwaysInControlOptionShiftCommandOrder)
{
    EXPECT_EQ(KeyFormatter::format(14, cmd | opt), QStringLiteral("⌥⌘E"));
    EXPECT_EQ(KeyFormatter::format(126, cmd | opt | shift), QStringLiteral("⌥⇧⌘↑"));
    EXPECT_EQ(KeyFormatter::format(1, ctrl | opt), QStringLiteral("⌃⌥S"));
    EXPECT_EQ(KeyFormatter::format(120, 0), QStringLiteral("F2"));
    EXPECT_EQ(KeyFormatter::modifierSymbols(cmd), QStringLiteral("⌘"));
    EXPECT_EQ(KeyFormatter::modifierSymbols(cmd | shift | opt | ctrl), QStringLiteral("⌃⌥⇧⌘"));
    EXPECT_EQ(KeyFormatter::modifierSymbols(0x4000 | 0x0001), QString()) << "unknown bits show nothing";
}

TEST(KeyFormatter, DisplayCharTables)
{
    const std::pair<quint32, const char*> expected[] = {
        {49, "空格"}, {36, "回车"}, {76, "回车"}, {53, "Esc"}, {48, "Tab"}, {51, "退格"}, {117, "⌦"},
        {126, "↑"}, {125, "↓"}, {123, "←"}, {124, "→"}, {115, "Home"}, {119, "End"}, {116, "PageUp"},
        {121, "PageDn"}, {122, "F1"}, {120, "F2"}, {99, "F3"}, {111, "F12"}, {103, "F11"},
        {0, "A"}, {14, "E"}, {29, "0"}, {18, "1"}, {50, "`"}, {42, "\\"},
    };
    for (const auto& [code, text] : expected)
        EXPECT_EQ(KeyFormatter::displayChar(code), QString::fromUtf8(text)) << code;
    EXPECT_EQ(KeyFormatter::displayChar(200), QStringLiteral("?"));
}

class FixedLayout final : public KeyLayout {
public:
    explicit FixedLayout(QString produced) : m_produced(std::move(produced)) {}
    QString characterFor(quint32) const override { return m_produced; }

private:
    QString m_produced;
};

TEST(KeyFormatter, DisplayCharAsksTheLayoutAndUpperCases)
{
    KeyFormatter::setLayout(std::make_shared<FixedLayout>(QStringLiteral("у")));
    EXPECT_EQ(KeyFormatter::displayChar(14), QStringLiteral("У"));
    EXPECT_EQ(KeyFormatter::displayChar(49), QStringLiteral("空格")) << "tables win over the layout";
    KeyFormatter::setLayout(std::make_shared<FixedLayout>(QStringLiteral(" \t")));
    EXPECT_EQ(KeyFormatter::displayChar(14), QStringLiteral("?"));
    KeyFormatter::setLayout(nullptr);
    EXPECT_EQ(KeyFormatter::displayChar(14), QStringLiteral("E"));
}

TEST(KeyFormatter, Rules)
{
    EXPECT_TRUE(KeyFormatter::isFunctionKey(120));
    EXPECT_FALSE(KeyFormatter::isFunctionKey(14));
    EXPECT_TRUE(KeyFormatter::hasRequiredModifier(cmd | opt));
    EXPECT_TRUE(KeyFormatter::hasRequiredModifier(ctrl));
    EXPECT_FALSE(KeyFormatter::hasRequiredModifier(shift));
    EXPECT_FALSE(KeyFormatter::hasRequiredModifier(0));

    EXPECT_EQ(KeyFormatter::carbonModifiers(Qt::MetaModifier | Qt::AltModifier), 0x900u);
    EXPECT_EQ(KeyFormatter::carbonModifiers(Qt::ControlModifier | Qt::ShiftModifier), 0x1200u);
    EXPECT_EQ(KeyFormatter::carbonModifiers(Qt::MetaModifier | Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier), 0x1B00u);
    EXPECT_EQ(KeyFormatter::carbonModifiers(Qt::MetaModifier | Qt::KeypadModifier | Qt::GroupSwitchModifier), 0x100u);
}

}
