#pragma once

#include <functional>
#include <memory>

#include <QString>

#include "core/HotKey.h"
#include "core/Shortcut.h"
#include "settings/AppSettings.h"

// Registers the two user shortcuts (main, id 1, and screenshot, id 2) from the settings, and
// when one is taken by another application falls back to the last working combination or the
// default, corrects the stored setting and tells the user.
class HotKeyRegistrar {
public:
    // A notice for the user, shown with the orange accent.
    struct Notice {
        QString header;
        QString body;
    };

    struct Callbacks {
        std::function<void()> mainPressed;
        std::function<void()> screenshotPressed;
        std::function<void(const Notice&)> notice;
        // The stored shortcuts were corrected, so whatever shows them must be rebuilt.
        std::function<void()> settingsCorrected;
    };

    explicit HotKeyRegistrar(Callbacks callbacks);
    HotKeyRegistrar(const HotKeyRegistrar&) = delete;
    HotKeyRegistrar& operator=(const HotKeyRegistrar&) = delete;

    void registerHotKey();
    void registerOCRHotKey();

    // The main HotKey (null before the first registration) and the screenshot one (null while
    // the screenshot shortcut is disabled).
    const HotKey* hotKey() const { return m_main.hotKey.get(); }
    const HotKey* ocrHotKey() const { return m_screenshot.hotKey.get(); }
    Shortcut lastWorkingHotKey() const { return m_main.lastWorking; }
    Shortcut lastWorkingOCRHotKey() const { return m_screenshot.lastWorking; }

private:
    struct Slot {
        quint32 id;
        Shortcut defaultShortcut;
        quint32 AppSettings::*keyCodeField;
        quint32 AppSettings::*modifiersField;
        // With every fallback taken, the main shortcut still holds its default; the screenshot
        // shortcut is disabled instead.
        bool keepsDefaultWhenAllTaken;
        std::function<void()> pressed;
        Shortcut lastWorking;
        std::unique_ptr<HotKey> hotKey;
    };

    void registerShortcut(Slot& slot);
    bool tryRegister(Slot& slot, Shortcut shortcut);

    Callbacks m_callbacks;
    Slot m_main;
    Slot m_screenshot;
};
