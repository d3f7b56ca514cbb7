#include <gtest/gtest.h>

#include "platform/Session.h"

namespace {

using Display = Session::Display;
using Desktop = Session::Desktop;

// The session's variables: XDG_SESSION_TYPE, WAYLAND_DISPLAY, DISPLAY, XDG_CURRENT_DESKTOP, SWAYSOCK,
// HYPRLAND_INSTANCE_SIGNATURE, and whether KWin answers on the session bus.
Session::Facts facts(const char* type, const char* wayland = "", const char* x11 = "", const char* desktop = "",
                     const char* sway = "", const char* hyprland = "", bool kwinAnswers = false)
{
    return {type, wayland, x11, desktop, sway, hyprland, kwinAnswers};
}

TEST(SessionTest, DisplayFollowsTheSessionNotALeftoverVariableAndTheDesktopWhatAnswersThenItsName)
{
    const struct {
        Session::Facts facts;
        Display display;
        Desktop desktop = Desktop::other;
        bool xwayland = false;
    } cases[] = {
        {facts("x11", "wayland-1", ":0"), Display::x11}, // a nested compositor's socket inherited by a terminal
        {facts("wayland", "wayland-0", ":1"), Display::wayland, Desktop::other, true},
        {facts("wayland", "wayland-0"), Display::wayland},
        {facts("", "wayland-0"), Display::wayland},         // undeclared: started by hand or an old login manager
        {facts("tty", "", "localhost:10.0"), Display::x11}, // forwarded over ssh
        {facts("x11", "wayland-1"), Display::wayland},      // declared X11, yet only a compositor to talk to
        {facts("wayland"), Display::none},                  // declared, without a socket to reach
        {facts("", "wayland-0", "", "ubuntu:GNOME"), Display::wayland, Desktop::gnome},
        {facts("", "wayland-0", "", "KDE"), Display::wayland, Desktop::kde},
        {facts("", "wayland-0", "", "sway"), Display::wayland, Desktop::sway},
        {facts("", "wayland-0", "", "Hyprland"), Display::wayland, Desktop::hyprland},
        {facts("", "wayland-0", "", "XFCE"), Display::wayland, Desktop::other},
        {facts("", "wayland-0", "", "GNOME", "/run/sway.sock"), Display::wayland, Desktop::sway}, // what answers wins
        {facts("", "wayland-0", "", "", "", "abc_123"), Display::wayland, Desktop::hyprland},
        {facts("", "wayland-0", "", "", "", "", true), Display::wayland, Desktop::kde},
    };
    for (const auto& c : cases) {
        const Session session = Session::describe(c.facts);
        EXPECT_TRUE(session.display == c.display && session.desktop == c.desktop && session.xwayland == c.xwayland)
            << "case " << &c - cases;
    }
    EXPECT_TRUE(Session::needsKWinProbe(facts("", "wayland-0")));
    EXPECT_FALSE(Session::needsKWinProbe(facts("", "wayland-0", "", "GNOME"))) << "the name tells";
    EXPECT_FALSE(Session::needsKWinProbe(facts("", "", ":0"))) << "X11 keeps its backends whatever the desktop";
}

}
