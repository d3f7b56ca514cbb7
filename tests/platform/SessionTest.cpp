#include <gtest/gtest.h>

#include <QStringList>

#include "platform/Session.h"

namespace {

using Display = Session::Display;
using Desktop = Session::Desktop;

// The session's variables as "XDG_SESSION_TYPE|WAYLAND_DISPLAY|DISPLAY|XDG_CURRENT_DESKTOP|SWAYSOCK|
// HYPRLAND_INSTANCE_SIGNATURE", empty ones and those at the end left out.
Session::Facts facts(const char* variables, bool kwinAnswers = false)
{
    const QStringList values = QString::fromLatin1(variables).split(u'|');
    Session::Facts facts;
    facts.sessionType = values.value(0);
    facts.waylandDisplay = values.value(1);
    facts.x11Display = values.value(2);
    facts.currentDesktop = values.value(3);
    facts.swaySocket = values.value(4);
    facts.hyprlandSignature = values.value(5);
    facts.kwinAnswers = kwinAnswers;
    return facts;
}

TEST(SessionTest, DisplayFollowsTheSessionNotALeftoverVariableAndTheDesktopWhatAnswersThenItsName)
{
    const struct {
        const char* variables;
        Display display;
        Desktop desktop = Desktop::other;
        bool xwayland = false;
        bool kwinAnswers = false;
    } cases[] = {
        {"x11|wayland-1|:0", Display::x11}, // a nested compositor's socket inherited by a terminal
        {"wayland|wayland-0|:1", Display::wayland, Desktop::other, true},
        {"wayland|wayland-0", Display::wayland},
        {"|wayland-0", Display::wayland},      // undeclared: started by hand or an old login manager
        {"tty||localhost:10.0", Display::x11}, // forwarded over ssh
        {"x11|wayland-1", Display::wayland},   // declared X11, yet only a compositor to talk to
        {"wayland", Display::none},            // declared, without a socket to reach
        {"|wayland-0||ubuntu:GNOME", Display::wayland, Desktop::gnome},
        {"|wayland-0||KDE", Display::wayland, Desktop::kde},
        {"|wayland-0||sway", Display::wayland, Desktop::sway},
        {"|wayland-0||Hyprland", Display::wayland, Desktop::hyprland},
        {"|wayland-0||XFCE", Display::wayland, Desktop::other},
        {"|wayland-0||GNOME|/run/user/1000/sway-ipc.sock", Display::wayland, Desktop::sway}, // what answers wins
        {"|wayland-0||||abc_123", Display::wayland, Desktop::hyprland},
        {"|wayland-0", Display::wayland, Desktop::kde, false, true},
    };
    for (const auto& c : cases) {
        const Session session = Session::describe(facts(c.variables, c.kwinAnswers));
        EXPECT_TRUE(session.display == c.display && session.desktop == c.desktop && session.xwayland == c.xwayland)
            << c.variables << (c.kwinAnswers ? " with KWin" : "");
    }
    EXPECT_TRUE(Session::needsKWinProbe(facts("|wayland-0")));
    EXPECT_FALSE(Session::needsKWinProbe(facts("|wayland-0||GNOME"))) << "the name tells";
    EXPECT_FALSE(Session::needsKWinProbe(facts("||:0"))) << "X11 keeps its backends whatever the desktop";
}

}
