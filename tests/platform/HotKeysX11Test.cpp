#include <gtest/gtest.h>

#include <memory>

#include <xcb/xcb.h>

#include "app/HotKey.h"
#include "app/HotKeyRegistrar.h"
#include "core/KeyFormatter.h"
#include "platform/linux/LinuxPlatform.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScratchHome.h"
#include "tests/support/TargetApps.h"

namespace {

constexpr quint32 keyE = 14;
constexpr quint32 keyS = 1;
constexpr quint32 keyEscape = 53;
constexpr quint32 optionCommand = KeyFormatter::optionMask | KeyFormatter::commandMask;
constexpr quint32 controlOption = KeyFormatter::controlMask | KeyFormatter::optionMask;

// Another X client, holding key grabs of its own.
class OtherClient {
public:
    OtherClient()
        : m_c(xcb_connect(nullptr, nullptr))
        , m_root(xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root)
    {
    }
    ~OtherClient() { xcb_disconnect(m_c); }

    bool grab(xcb_keycode_t keycode, quint16 modifiers)
    {
        xcb_generic_error_t* error = xcb_request_check(
            m_c, xcb_grab_key_checked(m_c, 1, m_root, modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        free(error);
        return error == nullptr;
    }

private:
    xcb_connection_t* m_c;
    xcb_window_t m_root;
};

class HotKeysX11Test : public ::testing::Test {
protected:
    LinuxPlatform platform;
    QStringList presses;

    std::function<void()> record(const QString& name)
    {
        return [this, name] { presses << name; };
    }

    // Types a chord through xdotool, a client of its own, as a user's keyboard would.
    static void type(const QString& chord)
    {
        ASSERT_TRUE(TargetApps::typeKeys(testDesktop(), {chord}));
    }

    bool pressesReach(qsizetype count)
    {
        return processEventsUntil([&] { return presses.size() >= count; }, 3000);
    }
};

TEST_F(HotKeysX11Test, APressReachesItsCallbackWhateverTheLockKeys)
{
    HotKey main(keyE, optionCommand, HotKey::mainId, record("main"));
    ASSERT_TRUE(main.isRegistered());

    const QStringList toggles = {QString(), QStringLiteral("Num_Lock"), QStringLiteral("Caps_Lock"),
                                 QStringLiteral("Num_Lock"), QStringLiteral("Caps_Lock")};
    for (const QString& toggle : toggles) {
        if (!toggle.isEmpty())
            type(toggle);
        type(QStringLiteral("alt+super+e"));
        ASSERT_TRUE(pressesReach(presses.size() + 1)) << "after toggling " << toggle.toStdString();
    }
    processEventsFor(100);
    EXPECT_EQ(presses.size(), toggles.size()) << "exactly one callback per press";
}

TEST_F(HotKeysX11Test, AHeldShortcutCountsOnce)
{
    HotKey main(keyE, optionCommand, HotKey::mainId, record("main"));
    const QProcessEnvironment env = testDesktop().environment();
    runProgram(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("alt+super+e")}, env);
    processEventsFor(1200); // past the server's auto-repeat delay
    runProgram(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt+super+e")}, env);
    ASSERT_TRUE(pressesReach(1));
    processEventsFor(200);
    EXPECT_EQ(presses.size(), 1);
}

TEST_F(HotKeysX11Test, DestroyingTheEscapeKeyLeavesTheOtherShortcutsAndFreesEscape)
{
    HotKey main(keyE, optionCommand, HotKey::mainId, record("main"));
    HotKey screenshot(keyS, controlOption, HotKey::screenshotId, record("screenshot"));
    auto escape = std::make_unique<HotKey>(keyEscape, 0, HotKey::escapeId, record("escape"));
    ASSERT_TRUE(main.isRegistered() && screenshot.isRegistered() && escape->isRegistered());
    escape.reset();

    type(QStringLiteral("ctrl+alt+s"));
    ASSERT_TRUE(pressesReach(1));
    type(QStringLiteral("alt+super+e"));
    ASSERT_TRUE(pressesReach(2));
    type(QStringLiteral("Escape"));
    processEventsFor(300);
    EXPECT_EQ(presses, (QStringList{"screenshot", "main"}));
    EXPECT_TRUE(OtherClient().grab(9, 0)) << "Escape is free for other clients again";
}

TEST_F(HotKeysX11Test, CombinationsHeldByOtherClientsFailAndTheRegistrarFallsBack)
{
    ScratchHome home;
    AppSettings settings;
    settings.hotKeyCode = keyE;
    settings.hotKeyModifiers = KeyFormatter::commandMask; // Super+E: openbox's own binding
    settings.ocrHotKeyCode = keyS;
    settings.ocrHotKeyModifiers = KeyFormatter::commandMask | KeyFormatter::shiftMask;
    ASSERT_TRUE(SettingsStore::save(settings));

    OtherClient other;
    ASSERT_TRUE(other.grab(39, XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT)); // Super+Shift+S
    ASSERT_TRUE(other.grab(39, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1)); // Control+Alt+S, the default

    QList<HotKeyRegistrar::Notice> notices;
    HotKeyRegistrar registrar({record("main"), record("screenshot"),
                               [&](const HotKeyRegistrar::Notice& notice) { notices << notice; }, {}});
    registrar.registerHotKey();
    registrar.registerOCRHotKey();

    ASSERT_TRUE(registrar.hotKey() && registrar.hotKey()->isRegistered());
    EXPECT_EQ(registrar.hotKey()->modifiers(), optionCommand) << "fell back to the default";
    EXPECT_EQ(registrar.ocrHotKey(), nullptr) << "both screenshot combinations are taken";
    const AppSettings stored = SettingsStore::load(true);
    EXPECT_EQ(stored.hotKeyModifiers, optionCommand);
    ASSERT_EQ(notices.size(), 2);
    EXPECT_EQ(notices[1].header, L10n::t("hotkey.ocrDisabled.header"));

    type(QStringLiteral("alt+super+e"));
    EXPECT_TRUE(pressesReach(1));
}

TEST_F(HotKeysX11Test, NamesFollowTheLayoutAndGrabsStayOnThePhysicalKey)
{
    const QProcessEnvironment env = testDesktop().environment();
    const auto layout = [&](const char* name) {
        ASSERT_EQ(runProgram(QStringLiteral("setxkbmap"), {QString::fromLatin1(name)}, env).exitCode, 0);
        processEventsFor(100);
    };
    HotKey main(keyE, optionCommand, HotKey::mainId, record("main"));

    layout("us");
    EXPECT_EQ(KeyFormatter::format(keyE, optionCommand), QStringLiteral("⌥⌘E"));
    layout("de");
    EXPECT_EQ(KeyFormatter::displayChar(16), QStringLiteral("Z")) << "the key right of T";
    layout("ru");
    EXPECT_EQ(KeyFormatter::displayChar(keyE), QStringLiteral("У"));
    type(QStringLiteral("alt+super+26")); // the physical E key, whatever it types now
    EXPECT_TRUE(pressesReach(1));
    layout("us");
}

TEST_F(HotKeysX11Test, SelftestModePasses)
{
    const ProgramResult result = runProgram(quilloBinary(), {QStringLiteral("--selftest-hotkey")}, testDesktop().environment());
    EXPECT_TRUE(result.out.endsWith("HOTKEY_SELFTEST_PASS\n")) << result.out.toStdString();
    EXPECT_EQ(result.exitCode, 0);
}

}
