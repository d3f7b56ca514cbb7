#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include <QCoreApplication>

#include "core/HotKey.h"
#include "core/KeyFormatter.h"
#include "settings/HotKeyRegistrar.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/ScratchHome.h"

namespace {

const Shortcut optionCommandE{14, 0x0900};
const Shortcut controlOptionS{1, 0x1800};
const Shortcut escape{53, 0};

class HotKeyTest : public ::testing::Test {
protected:
    FakePlatform platform;
    QStringList calls;

    std::function<void()> record(const QString& name)
    {
        return [this, name] { calls << name; };
    }

    void press(Shortcut shortcut)
    {
        platform.hotKeys->press(shortcut);
        QCoreApplication::processEvents();
    }
};

TEST_F(HotKeyTest, PressesGoByIdToTheNewestRegisteredHotKeyLaterOnTheEventLoop)
{
    auto older = std::make_unique<HotKey>(escape, HotKey::escapeId, record("older"));
    platform.hotKeys->press(escape);
    EXPECT_TRUE(calls.isEmpty()) << "never inside the service's event handling";
    QCoreApplication::processEvents();

    HotKey newer(controlOptionS, HotKey::escapeId, record("newer"));
    press(escape);
    older.reset();
    press(controlOptionS);
    EXPECT_EQ(calls, (QStringList{"older", "newer", "newer"}));
}

TEST_F(HotKeyTest, AHotKeyWhoseGrabFailsTakesNothingOver)
{
    HotKey live(escape, HotKey::escapeId, record("live"));
    platform.hotKeys->takeElsewhere(optionCommandE);
    {
        HotKey taken(optionCommandE, HotKey::escapeId, record("taken"));
        HotKey ours(escape, HotKey::mainId, record("ours, other id"));
        EXPECT_FALSE(taken.isRegistered());
        EXPECT_FALSE(ours.isRegistered()) << "the combination is ours already, under another id";
        press(escape);
    }
    press(escape);
    EXPECT_EQ(calls, (QStringList{"live", "live"}));
}

TEST_F(HotKeyTest, ReArmingTheSameCombinationKeepsItGrabbedUntilTheLastHolderGoes)
{
    auto old = std::make_unique<HotKey>(escape, HotKey::escapeId, record("old"));
    auto rearmed = std::make_unique<HotKey>(escape, HotKey::escapeId, record("rearmed"));
    EXPECT_TRUE(rearmed->isRegistered());
    old.reset();
    ASSERT_TRUE(platform.hotKeys->isGrabbed(escape));
    press(escape);
    EXPECT_EQ(calls, QStringList{"rearmed"});
    rearmed.reset();
    EXPECT_FALSE(platform.hotKeys->isGrabbed(escape));
}

TEST_F(HotKeyTest, APendingPressOfADestroyedHotKeyIsDroppedAndACallbackMayDestroyItsOwn)
{
    auto first = std::make_unique<HotKey>(escape, HotKey::escapeId, record("first"));
    platform.hotKeys->press(escape);
    first.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(calls.isEmpty());

    std::unique_ptr<HotKey> closing;
    closing = std::make_unique<HotKey>(escape, HotKey::escapeId, [&] {
        closing.reset();
        calls << "closed";
    });
    press(escape);
    EXPECT_EQ(calls, QStringList{"closed"});
    EXPECT_FALSE(platform.hotKeys->isGrabbed(escape));
}

const Shortcut defaultMain{AppSettings::defaultHotKeyCode, AppSettings::defaultHotKeyModifiers};
const Shortcut defaultScreenshot{AppSettings::defaultOCRHotKeyCode, AppSettings::defaultOCRHotKeyModifiers};
const Shortcut commandE{14, KeyFormatter::commandMask};
const Shortcut controlF1{122, KeyFormatter::controlMask};
const Shortcut controlF2{120, KeyFormatter::controlMask};

// A registrar on fake hot keys, with what it reported.
struct Rig {
    ScratchHome home;
    FakePlatform platform;
    QList<HotKeyRegistrar::Notice> notices;
    int corrections = 0;
    QStringList presses;
    HotKeyRegistrar registrar{{
        [this] { presses << "main"; },
        [this] { presses << "screenshot"; },
        [this](const HotKeyRegistrar::Notice& notice) { notices << notice; },
        [this] { ++corrections; },
    }};

    // Stores the shortcut as the user's choice (in the file, not this process's cache) and registers it.
    void choose(bool main, Shortcut shortcut)
    {
        changeSettings([&](AppSettings& settings) {
            (main ? settings.hotKeyCode : settings.ocrHotKeyCode) = shortcut.keyCode;
            (main ? settings.hotKeyModifiers : settings.ocrHotKeyModifiers) = shortcut.modifiers;
        });
        SettingsStore::resetCache();
        main ? registrar.registerHotKey() : registrar.registerOCRHotKey();
    }
};

TEST(HotKeyRegistrarTest, AFreeShortcutIsTakenQuietlyATakenOneFallsBackCorrectsTheSettingAndSaysSo)
{
    const struct {
        const char* name;
        bool main;
        std::optional<Shortcut> earlier; // registered before, so it is the last working one
        Shortcut wanted;
        QList<Shortcut> taken;
        std::optional<Shortcut> held; // grabbed afterwards; none: nothing (all taken)
        Shortcut stored;
    } cases[] = {
        {"free, registered again as after a save", true, commandE, commandE, {}, commandE, commandE},
        {"main: the last working one", true, controlF1, controlF2, {controlF2}, controlF1, controlF1},
        {"main at launch: the default", true, std::nullopt, commandE, {commandE}, defaultMain, defaultMain},
        {"main, all taken: default kept", true, {}, controlF2, {controlF2, defaultMain}, {}, defaultMain},
        {"screenshot: the default", false, {}, controlF1, {controlF1}, defaultScreenshot, defaultScreenshot},
        {"screenshot, all taken: off", false, {}, controlF2, {controlF2, defaultScreenshot}, {}, defaultScreenshot},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        if (c.earlier)
            rig.choose(c.main, *c.earlier);
        for (const Shortcut& shortcut : c.taken)
            rig.platform.hotKeys->takeElsewhere(shortcut);
        rig.choose(c.main, c.wanted);

        const HotKey* hotKey = c.main ? rig.registrar.hotKey() : rig.registrar.ocrHotKey();
        if (c.held) {
            EXPECT_TRUE(hotKey && hotKey->isRegistered());
            rig.platform.hotKeys->press(*c.held);
            QCoreApplication::processEvents();
            EXPECT_EQ(rig.presses, QStringList{c.main ? "main" : "screenshot"});
        } else
            EXPECT_TRUE(c.main ? hotKey && !hotKey->isRegistered() : !hotKey);
        const AppSettings after = SettingsStore::load(true);
        EXPECT_EQ(c.main ? Shortcut(after.hotKeyCode, after.hotKeyModifiers)
                         : Shortcut(after.ocrHotKeyCode, after.ocrHotKeyModifiers),
                  c.stored);
        EXPECT_EQ(rig.corrections, c.stored == c.wanted ? 0 : 1) << "whatever shows the shortcuts is told";
        ASSERT_EQ(rig.notices.size(), c.taken.isEmpty() ? 0 : 1);
        if (c.taken.isEmpty())
            continue;
        const bool disabled = !c.main && !c.held;
        EXPECT_EQ(rig.notices[0].header, L10n::t(disabled ? "hotkey.ocrDisabled.header" : "hotkey.conflict.header"));
        EXPECT_EQ(rig.notices[0].body,
                  disabled ? L10n::t("hotkey.ocrDisabled.body")
                           : L10n::tf("hotkey.conflict.body",
                                      {KeyFormatter::format(c.wanted), KeyFormatter::format(c.stored)}));
    }
}

}
