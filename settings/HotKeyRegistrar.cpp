#include "settings/HotKeyRegistrar.h"

#include "core/KeyFormatter.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"

HotKeyRegistrar::HotKeyRegistrar(Callbacks callbacks)
    : m_callbacks(std::move(callbacks))
    , m_main{HotKey::mainId,
             {AppSettings::defaultHotKeyCode, AppSettings::defaultHotKeyModifiers},
             &AppSettings::hotKeyCode,
             &AppSettings::hotKeyModifiers,
             true,
             [this] {
                 if (m_callbacks.mainPressed)
                     m_callbacks.mainPressed();
             },
             {AppSettings::defaultHotKeyCode, AppSettings::defaultHotKeyModifiers},
             nullptr}
    , m_screenshot{HotKey::screenshotId,
                   {AppSettings::defaultOCRHotKeyCode, AppSettings::defaultOCRHotKeyModifiers},
                   &AppSettings::ocrHotKeyCode,
                   &AppSettings::ocrHotKeyModifiers,
                   false,
                   [this] {
                       if (m_callbacks.screenshotPressed)
                           m_callbacks.screenshotPressed();
                   },
                   {AppSettings::defaultOCRHotKeyCode, AppSettings::defaultOCRHotKeyModifiers},
                   nullptr}
{
}

void HotKeyRegistrar::registerHotKey()
{
    registerShortcut(m_main);
}

void HotKeyRegistrar::registerOCRHotKey()
{
    registerShortcut(m_screenshot);
}

bool HotKeyRegistrar::tryRegister(Slot& slot, Shortcut shortcut)
{
    auto hotKey = std::make_unique<HotKey>(shortcut, slot.id, slot.pressed);
    if (!hotKey->isRegistered())
        return false;
    slot.hotKey = std::move(hotKey);
    slot.lastWorking = shortcut;
    return true;
}

void HotKeyRegistrar::registerShortcut(Slot& slot)
{
    // The HotKey held so far goes only when a successor replaces it: registering its combination
    // again shares its grab, and no moment leaves the shortcut free for another application.
    const AppSettings settings = SettingsStore::load(true);
    const Shortcut wanted{settings.*slot.keyCodeField, settings.*slot.modifiersField};
    if (tryRegister(slot, wanted))
        return;

    const Shortcut fallback = slot.lastWorking == wanted ? slot.defaultShortcut : slot.lastWorking;
    bool disabled = false;
    if (!tryRegister(slot, fallback)
        && (fallback == slot.defaultShortcut || !tryRegister(slot, slot.defaultShortcut))) {
        if (slot.keepsDefaultWhenAllTaken) {
            slot.hotKey = std::make_unique<HotKey>(slot.defaultShortcut, slot.id, slot.pressed);
            slot.lastWorking = slot.defaultShortcut;
        } else {
            slot.hotKey.reset();
            disabled = true;
        }
    }

    AppSettings stored = SettingsStore::load(true);
    if (Shortcut{stored.*slot.keyCodeField, stored.*slot.modifiersField} != slot.lastWorking) {
        stored.*slot.keyCodeField = slot.lastWorking.keyCode;
        stored.*slot.modifiersField = slot.lastWorking.modifiers;
        SettingsStore::save(stored);
        if (m_callbacks.settingsCorrected)
            m_callbacks.settingsCorrected();
    }

    if (!m_callbacks.notice)
        return;
    if (disabled)
        m_callbacks.notice({L10n::t("hotkey.ocrDisabled.header"), L10n::t("hotkey.ocrDisabled.body")});
    else
        m_callbacks.notice(
            {L10n::t("hotkey.conflict.header"),
             L10n::tf("hotkey.conflict.body", {KeyFormatter::format(wanted), KeyFormatter::format(slot.lastWorking)})});
}
