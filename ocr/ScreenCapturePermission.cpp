#include "ocr/ScreenCapturePermission.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include "ocr/ScreenGrab.h"
#include "platform/Session.h"

bool ScreenCapturePermission::askedFor()
{
    return Session::describe(Session::Facts::fromEnvironment()).display != Session::Display::x11;
}

bool ScreenCapturePermission::hasAccess()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen && ScreenGrab::isUsable(screen->grabWindow(0).toImage());
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
