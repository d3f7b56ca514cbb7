#include "ocr/ScreenCapturePermission.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include "ocr/ScreenGrab.h"

bool ScreenCapturePermission::hasAccess()
{
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen && ScreenGrab::isUsable(screen->grabWindow(0).toImage());
}

bool ScreenCapturePermission::effectiveAccess()
{
    return confirmedWorkingThisSession || hasAccess();
}

void ScreenCapturePermission::request()
{
}

bool ScreenCapturePermission::openSettings()
{
    return false;
}
