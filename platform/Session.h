#pragma once

#include <QString>

// What kind of desktop session this process runs in, worked out from its environment and from
// what answers. The backends of every capability are chosen from it in one place
// (platform/loader/PlatformLoader).
struct Session {
    enum class Display {
        none,    // neither an X server nor a Wayland compositor to talk to
        x11,     // an X11 session (DISPLAY)
        wayland, // a Wayland session; an X server beside it is only Xwayland
    };
    enum class Desktop {
        other,
        gnome, // GNOME Shell or plain mutter: no data-control, PRIMARY bridged to Xwayland
        kde,   // KWin
        sway,  // sway and other compositors that speak i3's IPC (SWAYSOCK)
        hyprland,
    };

    // What the description is made from: the environment, and whether KWin answers on the
    // session bus (asked only where the environment leaves it open).
    struct Facts {
        QString sessionType;       // XDG_SESSION_TYPE
        QString waylandDisplay;    // WAYLAND_DISPLAY
        QString x11Display;        // DISPLAY
        QString currentDesktop;    // XDG_CURRENT_DESKTOP, colon-separated names
        QString swaySocket;        // SWAYSOCK
        QString hyprlandSignature; // HYPRLAND_INSTANCE_SIGNATURE
        bool kwinAnswers = false;  // org.kde.KWin is on the session bus

        static Facts fromEnvironment();
    };

    Display display = Display::none;
    Desktop desktop = Desktop::other;
    bool xwayland = false; // Wayland with an X server beside it (DISPLAY set)

    static Session describe(const Facts& facts);
    // Whether the desktop can only be told apart by asking KWin.
    static bool needsKWinProbe(const Facts& facts);

    bool operator==(const Session&) const = default;
};
