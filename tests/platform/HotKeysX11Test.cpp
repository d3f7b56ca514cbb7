#include <gtest/gtest.h>

#include <memory>

#include <xcb/xcb.h>

#include "app/InstalledPlatform.h"
#include "core/HotKey.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RunProgram.h"

namespace {

constexpr quint32 keyE = 14;
const Shortcut optionCommandE{keyE, KeyFormatter::optionMask | KeyFormatter::commandMask};
const Shortcut controlOptionS{1, KeyFormatter::controlMask | KeyFormatter::optionMask};
const Shortcut escape{53, 0};

// Another X client; its grabs last as long as its connection.
using OtherClient = std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)>;

bool grab(const OtherClient& client, xcb_keycode_t keycode, quint16 modifiers)
{
    xcb_connection_t* c = client.get();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_generic_error_t* error = xcb_request_check(
        c, xcb_grab_key_checked(c, 1, root, modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    free(error);
    return error == nullptr;
}

OtherClient otherClient()
{
    return {xcb_connect(nullptr, nullptr), &xcb_disconnect};
}

class HotKeysX11Test : public ::testing::Test {
protected:
    InstalledPlatform platform;
    QStringList presses;

    std::function<void()> record(const QString& name)
    {
        return [this, name] { presses << name; };
    }

    bool pressesReach(qsizetype count)
    {
        return processEventsUntil([&] { return presses.size() >= count; }, 3000);
    }

    // Keys through xdotool, a client of its own, as a user's keyboard would send them.
    static void xdotool(const char* action, const char* chord)
    {
        ASSERT_EQ(runProgram(QStringLiteral("xdotool"), {action, chord}).exitCode, 0);
    }
    static void type(const char* chord) { xdotool("key", chord); }
};

TEST_F(HotKeysX11Test, OnePressOneCallbackWhateverTheLockKeysAndHeldDown)
{
    HotKey main(optionCommandE, HotKey::mainId, record("main"));
    ASSERT_TRUE(main.isRegistered());
    for (const char* toggle : {"", "Num_Lock", "Caps_Lock", "Num_Lock", "Caps_Lock"}) {
        if (*toggle)
            type(toggle);
        type("alt+super+e");
        ASSERT_TRUE(pressesReach(presses.size() + 1)) << "after toggling " << toggle;
    }
    EXPECT_EQ(presses.size(), 5);

    presses.clear();
    xdotool("keydown", "alt+super+e");
    processEventsFor(1200); // held past the server's auto-repeat delay
    EXPECT_TRUE(presses.isEmpty()) << "a held shortcut fires once, when it comes up";
    xdotool("keyup", "alt+super+e");
    ASSERT_TRUE(pressesReach(1));
    EXPECT_EQ(presses.size(), 1);
}

// Re-arming shares one grab above the service (HotKeyTest); here the service's ungrab itself.
TEST_F(HotKeysX11Test, EscapeReleasedLeavesTheOtherShortcutsAndEndsFree)
{
    HotKey main(optionCommandE, HotKey::mainId, record("main"));
    HotKey screenshot(controlOptionS, HotKey::screenshotId, record("screenshot"));
    auto escapeKey = std::make_unique<HotKey>(escape, HotKey::escapeId, record("escape"));
    ASSERT_TRUE(main.isRegistered() && screenshot.isRegistered() && escapeKey->isRegistered());
    type("Escape");
    ASSERT_TRUE(pressesReach(1));
    escapeKey.reset();

    type("ctrl+alt+s");
    ASSERT_TRUE(pressesReach(2));
    type("Escape");
    type("alt+super+e"); // arrives after anything Escape could have caused
    ASSERT_TRUE(pressesReach(3));
    EXPECT_EQ(presses, (QStringList{"escape", "screenshot", "main"}));
    EXPECT_TRUE(grab(otherClient(), 9, 0)) << "Escape is free for other clients again";
}

TEST_F(HotKeysX11Test, ACombinationAnotherClientHoldsFailsWithoutLeavingHalfAGrab)
{
    const OtherClient other = otherClient();
    ASSERT_TRUE(grab(other, 39, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_2)); // Control+Alt+S with NumLock
    HotKey taken(controlOptionS, HotKey::screenshotId, record("taken"));
    EXPECT_FALSE(taken.isRegistered());
    EXPECT_TRUE(grab(otherClient(), 39, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1))
        << "the variants taken first were let go";
    HotKey superE(Shortcut{keyE, KeyFormatter::commandMask}, HotKey::mainId, record("main"));
    EXPECT_FALSE(superE.isRegistered()) << "openbox's own binding";
}

TEST_F(HotKeysX11Test, NamesFollowTheLayoutAndGrabsStayOnThePhysicalKey)
{
    const auto layout = [&](const char* name, quint32 keyCode, const QString& shown) {
        ASSERT_EQ(runProgram(QStringLiteral("setxkbmap"), {QString::fromLatin1(name)}).exitCode, 0);
        EXPECT_TRUE(processEventsUntil([&] { return KeyFormatter::displayChar(keyCode) == shown; })) << name;
    };
    HotKey main(optionCommandE, HotKey::mainId, record("main"));
    layout("de", 16, QStringLiteral("Z")); // the key right of T
    layout("ru", keyE, QStringLiteral("У"));
    type("alt+super+26"); // the physical E key, whatever it types now
    EXPECT_TRUE(pressesReach(1));
    layout("us", keyE, QStringLiteral("E"));
}

}
