#include "ocr/ScreenCapturePermission.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include "ocr/ScreenGrab.h"
#include "platform/PlatformServices.h"
#include "platform/ScreenImages.h"
#include "platform/Session.h"

namespace {

bool onWayland()
{
    return Platform::services().session.display == Session::Display::wayland;
}

}

bool ScreenCapturePermission::askedFor()
{
    if (Session::describe(Session::Facts::fromEnvironment()).display == Session::Display::x11)
        return false;
    // grim reads the screens without asking anyone (sway, Hyprland).
    const std::shared_ptr<ScreenImages> images = Platform::services().screenImages;
    return !images || images->road() != ScreenImages::Road::grim;
}

bool ScreenCapturePermission::hasAccess()
{
    if (onWayland())
        return Platform::services().screenImages->state() == ScreenImages::State::works;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return false;
    // Only where a refusal looks black must the whole screen be looked at. Elsewhere one pixel
    // shows the server hands out pictures, and the tray's start does not wait for a full screen
    // to be copied (40 ms on a 1280 × 1024 virtual machine).
    const QPixmap grab = ScreenGrab::refusalLooksBlack() ? screen->grabWindow(0) : screen->grabWindow(0, 0, 0, 1, 1);
    return ScreenGrab::isUsable(grab.toImage());
}

bool ScreenCapturePermission::effectiveAccess()
{
    return confirmedWorkingThisSession || hasAccess();
}

void ScreenCapturePermission::request() { }

bool ScreenCapturePermission::openSettings()
{
    return false;
}

void ScreenCapturePermission::allow(QObject* context, std::function<void(bool)> done)
{
    Platform::services().screenImages->allow(context, [done = std::move(done)](const ScreenImages::Shot& shot) {
        const bool pictured = shot.outcome == ScreenImages::Shot::Outcome::image;
        if (pictured)
            confirmedWorkingThisSession = true;
        done(pictured);
    });
}

WaylandCapabilities::Row ScreenCapturePermission::waylandRow()
{
    const PlatformServices services = Platform::services();
    WaylandCapabilities::Facts facts;
    facts.desktop = services.session.desktop;
    facts.screenRoad = services.screenImages->road();
    facts.screenState = services.screenImages->state();
    return WaylandCapabilities::screenTextRow(facts);
}
