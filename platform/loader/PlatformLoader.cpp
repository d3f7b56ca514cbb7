#include "platform/loader/PlatformLoader.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>

#include "platform/atspi/AtspiAccessibility.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/X11Session.h"
#include "platform/linux/XClipboard.h"
#include "platform/linux/XPanelPlacement.h"
#include "platform/wayland/DataControlClipboard.h"
#include "platform/wayland/GrimScreenshot.h"
#include "platform/wayland/HyprlandIpc.h"
#include "platform/wayland/KWinScreenShot.h"
#include "platform/wayland/PortalKeys.h"
#include "platform/wayland/PortalScreenshot.h"
#include "platform/wayland/PortalShortcuts.h"
#include "platform/wayland/ScreenImageChain.h"
#include "platform/wayland/ShellHelper.h"
#include "platform/wayland/ShellHelperClipboard.h"
#include "platform/wayland/ShellHelperShortcuts.h"
#include "platform/wayland/ShellHelperSwitch.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/VirtualKeyboard.h"
#include "platform/wayland/WaylandPanels.h"
#include "platform/wayland/WaylandWorkspace.h"

namespace {

bool kwinAnswers()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(QStringLiteral("org.kde.KWin")).value();
}

WaylandWorkspace::CompositorFocus compositorFocus(const Session& session)
{
    switch (session.desktop) {
    case Session::Desktop::sway:
        return [socket = qEnvironmentVariable("SWAYSOCK")] { return SwayIpc::focusedProcess(socket); };
    case Session::Desktop::hyprland:
        return [socket = HyprlandIpc::socketPath(qEnvironmentVariable("HYPRLAND_INSTANCE_SIGNATURE"))] {
            return HyprlandIpc::focusedProcess(socket);
        };
    default: return {};
    }
}

std::shared_ptr<Clipboard> waylandClipboard(const Session& session, bool shellHelper)
{
    // mutter has no data-control but hands the Wayland PRIMARY to Xwayland, where anyone reads it.
    std::shared_ptr<Clipboard> clipboard;
    if (session.desktop == Session::Desktop::gnome && session.xwayland && X11Session::reachable())
        clipboard = std::make_shared<XClipboard>();
    else
        clipboard = DataControlClipboard::connect();
    // Quillo's Shell extension reads PRIMARY where Xwayland does not have it (no X server beside).
    if (shellHelper)
        return std::make_shared<ShellHelperClipboard>(std::move(clipboard));
    return clipboard;
}

// KWin hands its picture to programs its desktop entries allow, silently; wlroots compositors
// let grim copy the screen; the portal serves every desktop, asking the user once on GNOME.
std::shared_ptr<ScreenImages> screenImages(const Session& session)
{
    ScreenImageChain::Roads roads;
    if (session.desktop == Session::Desktop::kde)
        roads.push_back(std::make_shared<KWinScreenShot>());
    if ((session.desktop == Session::Desktop::sway || session.desktop == Session::Desktop::hyprland)
        && GrimScreenshot::available())
        roads.push_back(std::make_shared<GrimScreenshot>());
    roads.push_back(std::make_shared<PortalScreenshot>());
    return std::make_shared<ScreenImageChain>(std::move(roads));
}

// Keys typed into Xwayland never reach a Wayland application: the compositor's virtual keyboard
// where it offers one (sway, Hyprland), else the desktop's portal, which asks the user.
std::shared_ptr<SyntheticKeys> waylandKeys(const PlatformLoader::KeyGrantStore& keyGrant)
{
    if (std::shared_ptr<VirtualKeyboard> keyboard = VirtualKeyboard::connect())
        return keyboard;
    return std::make_shared<PortalKeys>(PortalKeys::TokenStore{keyGrant.read, keyGrant.write});
}

PlatformServices waylandServices(const Session& session, const PlatformLoader::KeyGrantStore& keyGrant)
{
    PlatformServices services;
    auto workspace = std::make_shared<WaylandWorkspace>(compositorFocus(session));
    services.accessibility = std::make_shared<AtspiAccessibility>(workspace);
    services.workspace = workspace;
    // Quillo's own GNOME Shell extension, where the user turned it on, does what the desktop
    // otherwise lets no Wayland client do.
    const bool shellHelper = session.desktop == Session::Desktop::gnome && ShellHelper::answers();
    services.clipboard = waylandClipboard(session, shellHelper);
    if (session.desktop == Session::Desktop::gnome)
        services.desktopHelper = std::make_shared<ShellHelperSwitch>(shellHelper);
    // Global keys are the desktop's to hand out: through its portal, or the user's own binding.
    if (shellHelper)
        services.hotKeys = std::make_shared<ShellHelperShortcuts>();
    else
        services.hotKeys = std::make_shared<PortalShortcuts>();
    services.screenImages = screenImages(session);
    // Panels follow Qt's own display connection: through Xwayland the window manager lets us
    // place them as on X11.
    if (QGuiApplication::platformName() == QLatin1String("wayland"))
        services.panels = WaylandPanels::forSession(session);
    else
        services.panels = std::make_shared<XPanelPlacement>();
    services.keys = waylandKeys(keyGrant);
    return services;
}

}

namespace PlatformLoader {

Session currentSession()
{
    Session::Facts facts = Session::Facts::fromEnvironment();
    if (Session::needsKWinProbe(facts))
        facts.kwinAnswers = kwinAnswers();
    return Session::describe(facts);
}

PlatformServices services(const Session& session, const KeyGrantStore& keyGrant)
{
    PlatformServices services;
    switch (session.display) {
    case Session::Display::x11: services = LinuxPlatform::services(); break;
    case Session::Display::wayland: services = waylandServices(session, keyGrant); break;
    case Session::Display::none: break;
    }
    services.session = session;
    // A display named but not answering is no display: nothing can be read, whatever is trusted.
    if (session.display == Session::Display::x11 && !services.accessibility)
        services.session.display = Session::Display::none;
    return services;
}

std::shared_ptr<const KeyLayout> keyLayout(const Session& session)
{
    // Xwayland carries the compositor's keymap.
    if (session.display == Session::Display::x11 || session.xwayland)
        return LinuxPlatform::keyLayout();
    return nullptr;
}

}
