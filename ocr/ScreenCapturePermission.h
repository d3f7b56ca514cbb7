#pragma once

#include <atomic>

// Whether the screen can be grabbed. On X11 there is nothing to grant: access means a grab of the
// screen gives an image (a failed grab, or an all-black one in a Wayland session, means no access).
class ScreenCapturePermission {
public:
    // Whether the desktop asks the user before a program may capture the screen. An X11 session
    // never does; a Wayland one does, also for X11 programs it runs (the session decides).
    static bool askedFor();
    // Grabs the primary screen now and looks at it (call on the main thread).
    static bool hasAccess();
    // hasAccess, or a capture already worked in this run.
    static bool effectiveAccess();
    // Nothing can be asked for on X11; kept so callers read as on every desktop.
    static void request();
    // Opens the desktop's help page about screen capture where one exists; false when none does.
    static bool openSettings();

    // Turns true when a capture produced a usable image, and stays true for the run.
    static inline std::atomic<bool> confirmedWorkingThisSession{false};
};
