#include <gtest/gtest.h>

#include <optional>

#include <QCoreApplication>

#include "app/HotKeyRegistrar.h"
#include "core/KeyFormatter.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/ScratchHome.h"

namespace {

using Shortcut = HotKeyRegistrar::Shortcut;

const Shortcut defaultMain{AppSettings::defaultHotKeyCode, AppSettings::defaultHotKeyModifiers};
const Shortcut defaultScreenshot{AppSettings::defaultOCRHotKeyCode, AppSettings::defaultOCRHotKeyModifiers};
const Shortcut commandE{14, KeyFormatter::commandMask};
const Shortcut controlF1{122, KeyFormatter::controlMask};
const Shortcut controlF2{120, KeyFormatter::controlMask};

QString display(Shortcut shortcut)
{
    return KeyFormatter::format(shortcut.keyCode, shortcut.modifiers);
}

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

    // Stores the shortcut as the user's choice and registers it.
    void choose(bool main, Shortcut shortcut)
    {
        changeSettings([&](AppSettings& settings) {
            (main ? settings.hotKeyCode : settings.ocrHotKeyCode) = shortcut.keyCode;
            (main ? settings.hotKeyModifiers : settings.ocrHotKeyModifiers) = shortcut.modifiers;
        });
        SettingsStore::resetCache(); // the registrar must read the file, not this process's cache
        main ? registrar.registerHotKey() : registrar.registerOCRHotKey();
    }

    Shortcut stored(bool main) const
    {
        const AppSettings settings = SettingsStore::load(true);
        return main ? Shortcut{settings.hotKeyCode, settings.hotKeyModifiers}
                    : Shortcut{settings.ocrHotKeyCode, settings.ocrHotKeyModifiers};
    }
};

TEST(HotKeyRegistrarTest, FreeShortcutsRegisterQuietlyAndReachTheirCallbacks)
{
    Rig rig;
    rig.choose(true, commandE);
    rig.choose(false, controlF1);
    rig.registrar.registerHotKey(); // again, as after a settings save: must not collide with itself

    ASSERT_TRUE(rig.registrar.hotKey() && rig.registrar.hotKey()->isRegistered());
    ASSERT_TRUE(rig.registrar.ocrHotKey() && rig.registrar.ocrHotKey()->isRegistered());
    EXPECT_TRUE(rig.notices.isEmpty());
    EXPECT_EQ(rig.corrections, 0);
    EXPECT_EQ(rig.registrar.lastWorkingHotKey(), commandE);

    rig.platform.hotKeys->press(commandE.keyCode, commandE.modifiers);
    rig.platform.hotKeys->press(controlF1.keyCode, controlF1.modifiers);
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.presses, (QStringList{"main", "screenshot"}));
}

TEST(HotKeyRegistrarTest, ATakenShortcutFallsBackCorrectsTheSettingAndSaysSo)
{
    struct Case {
        const char* name;
        bool main;
        std::optional<Shortcut> earlier; // registered before, so it is the last working one
        Shortcut wanted;
        QList<Shortcut> taken;
        std::optional<Shortcut> held; // grabbed afterwards; none: nothing (all taken)
        Shortcut stored;
    };
    const Case cases[] = {
        {"main: the last working one", true, controlF1, controlF2, {controlF2}, controlF1, controlF1},
        {"main at launch: the default", true, std::nullopt, commandE, {commandE}, defaultMain, defaultMain},
        {"main, everything taken: the default kept", true, controlF1, controlF2, {controlF1, controlF2, defaultMain},
         std::nullopt, defaultMain},
        {"screenshot: the default", false, std::nullopt, controlF1, {controlF1}, defaultScreenshot, defaultScreenshot},
        {"screenshot, everything taken: disabled", false, controlF1, controlF2, {controlF1, controlF2, defaultScreenshot},
         std::nullopt, controlF1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        if (c.earlier)
            rig.choose(c.main, *c.earlier);
        for (const Shortcut& shortcut : c.taken)
            rig.platform.hotKeys->takenByOthers.insert({shortcut.keyCode, shortcut.modifiers});
        rig.choose(c.main, c.wanted);

        const HotKey* hotKey = c.main ? rig.registrar.hotKey() : rig.registrar.ocrHotKey();
        if (c.held) {
            ASSERT_TRUE(hotKey && hotKey->isRegistered());
            EXPECT_TRUE(rig.platform.hotKeys->isGrabbed(c.held->keyCode, c.held->modifiers));
        } else {
            EXPECT_TRUE(c.main ? hotKey && !hotKey->isRegistered() : !hotKey);
        }
        EXPECT_EQ(rig.stored(c.main), c.stored);
        EXPECT_EQ(rig.corrections, c.stored == c.wanted ? 0 : 1) << "whatever shows the shortcuts is told";
        ASSERT_EQ(rig.notices.size(), 1);
        if (c.main || c.held) {
            EXPECT_EQ(rig.notices[0].header, L10n::t("hotkey.conflict.header"));
            EXPECT_EQ(rig.notices[0].body, L10n::tf("hotkey.conflict.body", {display(c.wanted), display(c.stored)}));
        } else {
            EXPECT_EQ(rig.notices[0].header, L10n::t("hotkey.ocrDisabled.header"));
            EXPECT_EQ(rig.notices[0].body, L10n::t("hotkey.ocrDisabled.body"));
        }
    }
}

}
