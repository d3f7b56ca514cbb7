// The Wayland block's rows and the binding the user adds where the desktop takes no shortcut from
// us: each desktop gets the line its own configuration understands.
#include <gtest/gtest.h>

#include "settings/L10n.h"
#include "tests/support/ScopedEnv.h"
#include "windows/WaylandCapabilities.h"

namespace {

using namespace WaylandCapabilities;
using Kind = GlobalHotKeys::Road::Kind;

constexpr Shortcut altSuperE{14, 0x900};
constexpr Shortcut controlShiftF2{120, 0x1200};

TEST(WaylandCapabilities, BindingsAreWrittenInEachDesktopsOwnNotation)
{
    EXPECT_EQ(binding(Desktop::sway, altSuperE, false), QStringLiteral("bindsym Mod1+Mod4+e exec quillo --trigger"));
    EXPECT_EQ(binding(Desktop::sway, controlShiftF2, false),
              QStringLiteral("bindsym Control+Shift+F2 exec quillo --trigger"));
    EXPECT_EQ(binding(Desktop::hyprland, altSuperE, false),
              QStringLiteral("bind = ALT SUPER, E, exec, quillo --trigger"));
}

TEST(WaylandCapabilities, TheShortcutRowNamesTheRoadInForceAndOnlyAnUnboundOneAsksForAction)
{
    const ScopedEnv english("SELVANE_UI_LANG", "en");
    L10n::invalidate();
    Facts facts{.desktop = Desktop::gnome,
                .shortcutRoad = {Kind::portalBound, QStringLiteral("Ctrl+Alt+Q")},
                .mainShortcut = altSuperE};
    Row row = shortcutRow(facts);
    EXPECT_TRUE(row.works);
    EXPECT_TRUE(row.state.contains(QStringLiteral("Ctrl+Alt+Q"))) << "the desktop's own words for the key";
    EXPECT_EQ(row.fix, Fix::none);

    facts.shortcutRoad = {Kind::desktopBinding, {}};
    row = shortcutRow(facts);
    EXPECT_FALSE(row.works);
    EXPECT_EQ(row.fix, Fix::copy);
    EXPECT_EQ(row.copyText, QStringLiteral("quillo --trigger"));
    EXPECT_TRUE(row.action.contains(QStringLiteral("Custom Shortcuts"))) << row.action.toStdString();

    // Hyprland accepts the session but binds no key: the user's configuration must name it.
    facts.desktop = Desktop::hyprland;
    facts.shortcutRoad = {Kind::portalBound, {}};
    row = shortcutRow(facts);
    EXPECT_EQ(row.copyText, QStringLiteral("bind = ALT SUPER, E, global, org.quillo.Quillo:popup"));

    facts.shortcutRoad = {Kind::portalPending, {}};
    EXPECT_EQ(shortcutRow(facts).fix, Fix::none) << "nothing to do while the desktop is still being asked";
}

TEST(WaylandCapabilities, EachCapabilityThatFailsSaysHowToFixIt)
{
    const ScopedEnv english("SELVANE_UI_LANG", "en");
    L10n::invalidate();
    Facts facts;
    facts.desktop = Desktop::gnome;
    facts.shortcutRoad = {Kind::portalBound, QStringLiteral("Alt+Super+E")};
    const QList<Row> broken = rows(facts);
    ASSERT_EQ(broken.size(), 6);
    EXPECT_EQ(broken[1].fix, Fix::turnOnAccessibility);
    EXPECT_FALSE(broken[2].works);
    EXPECT_TRUE(broken[3].action.contains(QStringLiteral("gnome-shell-extension-appindicator")));
    EXPECT_TRUE(broken[3].action.contains(QStringLiteral("quillo --settings")));
    EXPECT_EQ(broken[5].state, QStringLiteral("This desktop lets no program press keys: copy only"));
    facts.keysOffered = true;
    EXPECT_TRUE(pasteRow(facts).action.contains(QStringLiteral("Let Quillo paste for me")));

    // Quillo's GNOME helper, shipped but not running: the placement row offers to turn it on.
    facts.helper = DesktopHelper::State::off;
    const Row placement = rows(facts)[2];
    EXPECT_EQ(placement.fix, Fix::turnOnHelper);
    EXPECT_TRUE(placement.action.contains(QStringLiteral("after your next login"))) << placement.action.toStdString();

    facts.helper = DesktopHelper::State::running;
    facts.shortcutRoad = {Kind::shellHelper, {}};
    facts.mainShortcut = altSuperE;
    facts.readsSelections = facts.panelAtPointer = facts.trayShown = facts.pasteForMe = true;
    facts.screenState = ScreenImages::State::works;
    EXPECT_TRUE(shortcutRow(facts).state.contains(QStringLiteral("Alt+Super+E")));
    for (const Row& row : rows(facts))
        EXPECT_TRUE(row.works && row.action.isEmpty()) << row.nameKey;
}

// Screen text says what to allow and where, after the road the desktop's picture took and its
// last answer.
TEST(WaylandCapabilities, ScreenTextSaysWhatToAllowAndWhere)
{
    const ScopedEnv english("SELVANE_UI_LANG", "en");
    L10n::invalidate();
    using Road = ScreenImages::Road;
    using State = ScreenImages::State;
    const std::tuple<Desktop, Road, State, Fix, const char*> cases[] = {
        {Desktop::gnome, Road::portal, State::refused, Fix::allowScreen, "choose “Allow”"},
        {Desktop::kde, Road::kwin, State::refused, Fix::retryScreen, "org.quillo.Quillo.desktop"},
        {Desktop::kde, Road::kwin, State::untried, Fix::tryScreen, ""},
        {Desktop::sway, Road::portal, State::unavailable, Fix::retryScreen, "install the package grim"},
        {Desktop::sway, Road::grim, State::unavailable, Fix::retryScreen, "Run grim in a terminal"},
        {Desktop::sway, Road::grim, State::works, Fix::none, ""},
    };
    for (const auto& [desktop, road, state, fix, advice] : cases) {
        const Row row = screenTextRow(
            {.desktop = desktop, .shortcutRoad = {}, .mainShortcut = {}, .screenRoad = road, .screenState = state});
        EXPECT_EQ(row.fix, fix) << advice;
        EXPECT_EQ(row.works, state == State::works) << advice;
        EXPECT_EQ(row.action.isEmpty(), !*advice) << row.action.toStdString();
        EXPECT_TRUE(row.action.contains(QString::fromUtf8(advice))) << row.action.toStdString();
    }
}

}
