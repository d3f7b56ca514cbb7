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
            QSystemTrayIcon::isSystemTrayAvailable()};
}

QPushButton* fixButton(const WaylandCapabilities::Row& capability)
{
    using Fix = WaylandCapabilities::Fix;
    if (capability.fix == Fix::none)
        return nullptr;
    auto* button = new QPushButton(L10n::t(capability.fix == Fix::copy ? "wayland.btn.copy" : "wayland.btn.turnOn"));
    button->setAccessibleName(button->text() + QStringLiteral(" · ") + L10n::t(capability.nameKey));
    QObject::connect(button, &QPushButton::clicked, button, [button, capability] {
        if (capability.fix == Fix::copy) {
            QGuiApplication::clipboard()->setText(capability.copyText);
            button->setText(L10n::t("wayland.btn.copied"));
        } else {
            Platform::services().accessibility->turnOnSessionSwitch();
            button->setEnabled(false);
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
