#pragma once

#include <atomic>
#include <functional>

#include "windows/WaylandCapabilities.h"

class QObject;

// Whether the screen can be grabbed. On X11 there is nothing to grant: access means a grab of the
// screen gives an image. On Wayland the desktop hands out pictures of the screen (the platform's
// ScreenImages): access means its last answer was a picture.
class ScreenCapturePermission {
public:
    // Whether the desktop asks the user before a program may capture the screen. An X11 session
    // never does; a Wayland one does, also for X11 programs it runs (the session decides), unless
    // the picture comes from grim.
    static bool askedFor();
    // X11: grabs the primary screen now and looks at it. Wayland: the desktop's last answer.
    // Main thread only.
    static bool hasAccess();
    // hasAccess, or a capture already worked in this run.
    static bool effectiveAccess();
    // Nothing can be asked for on X11; kept so callers read as on every desktop.
    static void request();
    // Opens the desktop's help page about screen capture where one exists; false when none does.
    static bool openSettings();

    // Wayland: asks the desktop for a picture while one of our windows has the focus, the one
    // moment GNOME shows its question; allowed tells whether a picture came. Not called back
    // once the context is gone.
    static void allow(QObject* context, std::function<void(bool allowed)> done);
    // Wayland: the settings' screen-text row for the desktop's road and last answer: what to
    // allow and where.
    static WaylandCapabilities::Row waylandRow();

    // Turns true when a capture produced a usable image, and stays true for the run.
    static inline std::atomic<bool> confirmedWorkingThisSession{false};
};
