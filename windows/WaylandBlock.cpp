#include "windows/WaylandBlock.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QSystemTrayIcon>

#include "platform/PlatformServices.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "windows/SettingsLayout.h"
#include "windows/WaylandCapabilities.h"

namespace WaylandBlock {

namespace {

WaylandCapabilities::Facts currentFacts()
{
    const PlatformServices services = Platform::services();
    const AppSettings settings = SettingsStore::load();
    return {services.session.desktop,
            services.hotKeys->road(),
            {settings.hotKeyCode, settings.hotKeyModifiers},
            services.accessibility->isTrusted(),
            services.panels->opensAtPointer(),
            services.desktopHelper->state(),
            QSystemTrayIcon::isSystemTrayAvailable(),
            services.screenImages->road(),
            services.screenImages->state(),
            services.keys->needsLeave(),
            settings.pasteForMe};
}

const char* buttonKey(WaylandCapabilities::Fix fix)
{
    using Fix = WaylandCapabilities::Fix;
    switch (fix) {
    case Fix::copy: return "wayland.btn.copy";
    case Fix::turnOnAccessibility: return "wayland.btn.turnOn";
    case Fix::allowScreen: return "wayland.btn.allowScreen";
    case Fix::tryScreen: return "wayland.btn.tryScreen";
    case Fix::retryScreen: return "wayland.btn.retryScreen";
    case Fix::turnOnHelper: return "wayland.btn.turnOnHelper";
    case Fix::none: break;
    }
    return nullptr;
}

// Asks the desktop for a picture from this focused window; the button then says how it went.
void askForScreen(QPushButton* button)
{
    button->setEnabled(false);
    button->setText(L10n::t("wayland.btn.asking"));
    Platform::services().screenImages->allow(button, [button](const ScreenImages::Shot& shot) {
        const bool pictured = shot.outcome == ScreenImages::Shot::Outcome::image;
        button->setText(L10n::t(pictured ? "wayland.screen.works" : "wayland.btn.retryScreen"));
        button->setEnabled(!pictured);
    });
}

void setButtonText(QPushButton* button, const QString& text, const char* rowKey)
{
    button->setText(text);
    button->setAccessibleName(text + QStringLiteral(" · ") + L10n::t(rowKey));
}

QPushButton* fixButton(const WaylandCapabilities::Row& capability)
{
    using Fix = WaylandCapabilities::Fix;
    if (capability.fix == Fix::none)
        return nullptr;
    auto* button = new QPushButton;
    setButtonText(button, L10n::t(buttonKey(capability.fix)), capability.nameKey);
    QObject::connect(button, &QPushButton::clicked, button, [button, capability] {
        switch (capability.fix) {
        case Fix::copy:
            QGuiApplication::clipboard()->setText(capability.copyText);
            setButtonText(button, L10n::t("wayland.btn.copied"), capability.nameKey);
            break;
        case Fix::turnOnAccessibility:
            Platform::services().accessibility->turnOnSessionSwitch();
            button->setEnabled(false);
            break;
        case Fix::allowScreen:
        case Fix::tryScreen:
        case Fix::retryScreen: askForScreen(button); break;
        case Fix::turnOnHelper:
            button->setEnabled(false);
            Platform::services().desktopHelper->turnOn(button, [button, row = capability.nameKey](bool on) {
                setButtonText(button, L10n::t(on ? "wayland.helper.on" : "wayland.helper.failed"), row);
                button->setEnabled(!on);
            });
            break;
        case Fix::none: break;
        }
    });
    return button;
}

}

void add(QGridLayout* grid, int& row)
{
    if (Platform::services().session.display != Session::Display::wayland)
        return;
    SettingsLayout::addSeparator(grid, row);
    SettingsLayout::addHeading(grid, row, "wayland.section");
    for (const WaylandCapabilities::Row& capability : WaylandCapabilities::rows(currentFacts())) {
        QLabel* state = SettingsLayout::statusLabel({});
        SettingsLayout::setTextTint(state, capability.state, capability.works ? Tint::green : Tint::orange);
        state->setAccessibleName(L10n::t(capability.nameKey) + QStringLiteral(": ") + capability.state);
        if (QPushButton* button = fixButton(capability))
            SettingsLayout::addRow(grid, row, capability.nameKey, {state, button});
        else
            SettingsLayout::addRow(grid, row, capability.nameKey, {state});
        if (capability.action.isEmpty())
            continue;
        QLabel* action = SettingsLayout::smallLabel();
        action->setWordWrap(true);
        action->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // A line for a configuration file is shown as it is to be copied.
        action->setText(capability.action.contains(capability.copyText)
                            ? capability.action
                            : capability.action + QLatin1Char('\n') + capability.copyText);
        action->setAccessibleName(action->text());
        SettingsLayout::addBelow(grid, row, action);
    }
}

}
