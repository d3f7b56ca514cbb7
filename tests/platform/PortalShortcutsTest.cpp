// The user's shortcuts through the desktop's GlobalShortcuts portal, against a fake portal on a
// private bus that answers as xdg-desktop-portal does: bound once, presses delivered by id, and
// every way the desktop can say no leads to the road of a binding in the desktop's settings.
#include <gtest/gtest.h>

#include <QList>

#include "core/HotKey.h"
#include "platform/wayland/PortalShortcuts.h"
#include "tests/support/EventLoop.h"
#include "tests/support/PrivateBus.h"

namespace {

using Kind = GlobalHotKeys::Road::Kind;

constexpr quint32 keyE = 14, keyS = 1, keyQ = 12, keyEscape = 53;
constexpr quint32 altSuper = 0x900, controlAlt = 0x1800;

// Waits until the portal has answered one way or the other.
Kind settledRoad(const PortalShortcuts& shortcuts)
{
    processEventsUntil([&] { return shortcuts.road().kind != Kind::portalPending; }, 15000);
    return shortcuts.road().kind;
}

// One bus for the whole run: the bus library keeps the first session bus address it was given.
class PortalShortcutsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bus = new PrivateBus; }
    static void TearDownTestSuite() { delete bus; }
    void SetUp() override { ASSERT_TRUE(bus->isReady()); }

    static PrivateBus* bus;
};
PrivateBus* PortalShortcutsTest::bus = nullptr;

TEST_F(PortalShortcutsTest, BindsBothShortcutsOnceAndDeliversPressesOfTheLiveOnes)
{
    ASSERT_TRUE(bus->startPortal({QStringLiteral("--registry")}));
    PortalShortcuts shortcuts;
    QList<quint32> pressed;
    shortcuts.setPressedHandler([&](quint32 id) { pressed.append(id); });
    int roadChanges = 0;
    shortcuts.setRoadChangedHandler([&] { ++roadChanges; });
    EXPECT_TRUE(shortcuts.grab(keyE, altSuper, HotKey::mainId));
    EXPECT_TRUE(shortcuts.grab(keyS, controlAlt, HotKey::screenshotId));
    EXPECT_FALSE(shortcuts.grab(keyEscape, 0, HotKey::escapeId)) << "Escape is never asked of the desktop";

    ASSERT_EQ(settledRoad(shortcuts), Kind::portalBound) << bus->log().toStdString();
    EXPECT_EQ(shortcuts.road().trigger, QStringLiteral("ALT+LOGO+e")) << "the desktop's own words are shown";
    EXPECT_EQ(roadChanges, 1);
    EXPECT_TRUE(bus->log().startsWith(
        QStringLiteral("fake portal up\nfirst call Register\nRegistry.Register org.quillo.Quillo\n")))
        << "the application id is registered before any other portal call\n"
        << bus->log().toStdString();
    EXPECT_TRUE(bus->log().contains(QStringLiteral("BindShortcuts popup=ALT+LOGO+e screenshot=CTRL+ALT+s")));

    ASSERT_TRUE(bus->press(QStringLiteral("popup")));
    ASSERT_TRUE(processEventsUntil([&] { return !pressed.isEmpty(); }, 15000)) << bus->log().toStdString();
    EXPECT_EQ(pressed, QList<quint32>{HotKey::mainId});

    // A saved settings window re-arms the main shortcut with a new combination (new before old)
    // and switches the screenshot shortcut off: no second binding, and only the main one answers.
    EXPECT_TRUE(shortcuts.grab(keyQ, altSuper, HotKey::mainId));
    shortcuts.ungrab(keyE, altSuper);
    shortcuts.ungrab(keyS, controlAlt);
    pressed.clear();
    ASSERT_TRUE(bus->press(QStringLiteral("screenshot")));
    ASSERT_TRUE(bus->press(QStringLiteral("popup")));
    ASSERT_TRUE(processEventsUntil([&] { return !pressed.isEmpty(); }, 15000));
    processEventsFor(200);
    EXPECT_EQ(pressed, QList<quint32>{HotKey::mainId});
    EXPECT_EQ(bus->log().count(QStringLiteral("BindShortcuts")), 1) << "the session is bound once for the whole run";
}

TEST_F(PortalShortcutsTest, EveryRefusalLeavesTheBindingToTheDesktopsSettings)
{
    const struct {
        const char* what;
        QStringList options;
        bool portalRuns;
        bool binds;
    } cases[] = {
        {"the user denies the binding", {QStringLiteral("--deny-bind")}, true, true},
        {"the interface is listed but the session is refused", {QStringLiteral("--refuse-session")}, true, false},
        {"the portal has no such interface", {QStringLiteral("--no-globalshortcuts")}, true, false},
        {"no portal at all", {}, false, false},
    };
    for (const auto& c : cases) {
        bus->stopPortal();
        if (c.portalRuns) {
            ASSERT_TRUE(bus->startPortal(c.options));
        }
        PortalShortcuts shortcuts;
        QList<quint32> pressed;
        shortcuts.setPressedHandler([&](quint32 id) { pressed.append(id); });
        EXPECT_TRUE(shortcuts.grab(keyE, altSuper, HotKey::mainId)) << c.what << ": no conflict notice on this road";
        EXPECT_EQ(settledRoad(shortcuts), Kind::desktopBinding) << c.what << "\n" << bus->log().toStdString();
        EXPECT_EQ(bus->log().contains(QStringLiteral("BindShortcuts")), c.binds) << c.what << "\n"
                                                                                 << bus->log().toStdString();
        if (c.portalRuns) {
            ASSERT_TRUE(bus->press(QStringLiteral("popup")));
            processEventsFor(200);
            EXPECT_TRUE(pressed.isEmpty()) << c.what;
        }
    }
}

}
