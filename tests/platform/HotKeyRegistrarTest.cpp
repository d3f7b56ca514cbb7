#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/HotKeyRegistrar.h"
#include "app/KeyFormatter.h"
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

class HotKeyRegistrarTest : public ::testing::Test {
protected:
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

    void store(Shortcut main, Shortcut screenshot)
    {
        AppSettings settings = SettingsStore::load(true);
        settings.hotKeyCode = main.keyCode;
        settings.hotKeyModifiers = main.modifiers;
        settings.ocrHotKeyCode = screenshot.keyCode;
        settings.ocrHotKeyModifiers = screenshot.modifiers;
        ASSERT_TRUE(SettingsStore::save(settings));
        SettingsStore::resetCache(); // the registrar must read the file, not this process's cache
    }

    void takeElsewhere(Shortcut shortcut) { platform.hotKeys->takenByOthers.insert({shortcut.keyCode, shortcut.modifiers}); }

    Shortcut storedMain()
    {
        const AppSettings settings = SettingsStore::load(true);
        return {settings.hotKeyCode, settings.hotKeyModifiers};
    }

    Shortcut storedScreenshot()
    {
        const AppSettings settings = SettingsStore::load(true);
        return {settings.ocrHotKeyCode, settings.ocrHotKeyModifiers};
    }

    bool grabbed(Shortcut shortcut) const { return platform.hotKeys->isGrabbed(shortcut.keyCode, shortcut.modifiers); }

    void expectConflictNotice(Shortcut failed, Shortcut working)
    {
        ASSERT_EQ(notices.size(), 1);
        EXPECT_EQ(notices[0].header, L10n::t("hotkey.conflict.header"));
        EXPECT_EQ(notices[0].body, L10n::tf("hotkey.conflict.body", {display(failed), display(working)}));
    }
};

TEST_F(HotKeyRegistrarTest, FreeShortcutsRegisterQuietlyAndReachTheirCallbacks)
{
    store(commandE, controlF1);
    registrar.registerHotKey();
    registrar.registerOCRHotKey();
    registrar.registerHotKey(); // again, as after a settings save: must not collide with itself

    ASSERT_TRUE(registrar.hotKey() && registrar.hotKey()->isRegistered());
    ASSERT_TRUE(registrar.ocrHotKey() && registrar.ocrHotKey()->isRegistered());
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_EQ(corrections, 0);
    EXPECT_EQ(registrar.lastWorkingHotKey(), commandE);

    platform.hotKeys->press(commandE.keyCode, commandE.modifiers);
    platform.hotKeys->press(controlF1.keyCode, controlF1.modifiers);
    QCoreApplication::processEvents();
    EXPECT_EQ(presses, (QStringList{"main", "screenshot"}));
}

TEST_F(HotKeyRegistrarTest, TakenMainShortcutFallsBackToTheLastWorkingOne)
{
    store(controlF1, defaultScreenshot);
    registrar.registerHotKey();
    store(controlF2, defaultScreenshot); // the user records a new shortcut that another app holds
    takeElsewhere(controlF2);
    registrar.registerHotKey();

    EXPECT_TRUE(grabbed(controlF1)) << "the last working combination, not the default";
    EXPECT_FALSE(grabbed(defaultMain));
    EXPECT_EQ(storedMain(), controlF1);
    EXPECT_EQ(corrections, 1);
    expectConflictNotice(controlF2, controlF1);
}

TEST_F(HotKeyRegistrarTest, TakenMainShortcutAtLaunchFallsBackToTheDefault)
{
    store(commandE, defaultScreenshot);
    takeElsewhere(commandE);
    registrar.registerHotKey();

    EXPECT_TRUE(grabbed(defaultMain));
    EXPECT_EQ(storedMain(), defaultMain);
    expectConflictNotice(commandE, defaultMain);
}

TEST_F(HotKeyRegistrarTest, MainShortcutKeepsTheDefaultEvenWhenEverythingIsTaken)
{
    store(controlF1, defaultScreenshot);
    registrar.registerHotKey();
    store(controlF2, defaultScreenshot);
    takeElsewhere(controlF1);
    takeElsewhere(controlF2);
    takeElsewhere(defaultMain);
    registrar.registerHotKey();

    ASSERT_NE(registrar.hotKey(), nullptr);
    EXPECT_FALSE(registrar.hotKey()->isRegistered());
    EXPECT_EQ(registrar.lastWorkingHotKey(), defaultMain);
    EXPECT_EQ(storedMain(), defaultMain);
    expectConflictNotice(controlF2, defaultMain);
}

TEST_F(HotKeyRegistrarTest, TakenScreenshotShortcutFallsBackToTheDefault)
{
    store(defaultMain, controlF1);
    takeElsewhere(controlF1);
    registrar.registerOCRHotKey();

    EXPECT_TRUE(grabbed(defaultScreenshot));
    EXPECT_EQ(storedScreenshot(), defaultScreenshot);
    EXPECT_EQ(corrections, 1) << "the menu shows the screenshot shortcut too";
    expectConflictNotice(controlF1, defaultScreenshot);
}

TEST_F(HotKeyRegistrarTest, ScreenshotShortcutIsDisabledWhenItsDefaultIsTakenToo)
{
    store(defaultMain, controlF1);
    registrar.registerOCRHotKey();
    store(defaultMain, controlF2);
    takeElsewhere(controlF1);
    takeElsewhere(controlF2);
    takeElsewhere(defaultScreenshot);
    registrar.registerOCRHotKey();

    EXPECT_EQ(registrar.ocrHotKey(), nullptr);
    EXPECT_EQ(registrar.lastWorkingOCRHotKey(), controlF1) << "left as it was";
    EXPECT_EQ(storedScreenshot(), controlF1);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0].header, L10n::t("hotkey.ocrDisabled.header"));
    EXPECT_EQ(notices[0].body, L10n::t("hotkey.ocrDisabled.body"));
}

}
