#include <gtest/gtest.h>

#include "platform/Session.h"

namespace {

using Display = Session::Display;
using Desktop = Session::Desktop;

Session::Facts wayland(const QString& currentDesktop = {})
{
    Session::Facts facts;
    facts.sessionType = QStringLiteral("wayland");
    facts.waylandDisplay = QStringLiteral("wayland-0");
    facts.currentDesktop = currentDesktop;
    return facts;
}

TEST(SessionTest, DisplayKindFollowsTheSessionNotALeftoverVariable)
{
    Session::Facts x11;
    x11.sessionType = QStringLiteral("x11");
    x11.x11Display = QStringLiteral(":0");
    x11.waylandDisplay = QStringLiteral("wayland-1"); // a nested compositor's socket inherited by a terminal
    EXPECT_EQ(Session::describe(x11).display, Display::x11);
    EXPECT_FALSE(Session::describe(x11).xwayland);

    Session::Facts withXwayland = wayland();
    withXwayland.x11Display = QStringLiteral(":1");
    EXPECT_EQ(Session::describe(withXwayland).display, Display::wayland);
    EXPECT_TRUE(Session::describe(withXwayland).xwayland);
    EXPECT_FALSE(Session::describe(wayland()).xwayland) << "no X server at all beside the compositor";

    Session::Facts undeclared; // started by hand or by an old login manager
    undeclared.waylandDisplay = QStringLiteral("wayland-0");
    EXPECT_EQ(Session::describe(undeclared).display, Display::wayland);
    Session::Facts sshForwarded;
    sshForwarded.sessionType = QStringLiteral("tty");
    sshForwarded.x11Display = QStringLiteral("localhost:10.0");
    EXPECT_EQ(Session::describe(sshForwarded).display, Display::x11);
    x11.x11Display.clear(); // declared X11, yet only a compositor to talk to
    EXPECT_EQ(Session::describe(x11).display, Display::wayland);
    Session::Facts declaredOnly;
    declaredOnly.sessionType = QStringLiteral("wayland"); // without a socket to reach
    EXPECT_EQ(Session::describe(declaredOnly).display, Display::none);
}

TEST(SessionTest, DesktopFromWhatAnswersThenFromItsName)
{
    EXPECT_EQ(Session::describe(wayland(QStringLiteral("ubuntu:GNOME"))).desktop, Desktop::gnome);
    EXPECT_EQ(Session::describe(wayland(QStringLiteral("KDE"))).desktop, Desktop::kde);
    EXPECT_EQ(Session::describe(wayland(QStringLiteral("sway"))).desktop, Desktop::sway);
    EXPECT_EQ(Session::describe(wayland(QStringLiteral("Hyprland"))).desktop, Desktop::hyprland);
    EXPECT_EQ(Session::describe(wayland(QStringLiteral("XFCE"))).desktop, Desktop::other);

    Session::Facts swayFromGnomeLogin = wayland(QStringLiteral("GNOME"));
    swayFromGnomeLogin.swaySocket = QStringLiteral("/run/user/1000/sway-ipc.sock");
    EXPECT_EQ(Session::describe(swayFromGnomeLogin).desktop, Desktop::sway);
    Session::Facts hyprland = wayland();
    hyprland.hyprlandSignature = QStringLiteral("abc_123");
    EXPECT_EQ(Session::describe(hyprland).desktop, Desktop::hyprland);

    Session::Facts unnamed = wayland();
    EXPECT_TRUE(Session::needsKWinProbe(unnamed));
    unnamed.kwinAnswers = true;
    EXPECT_EQ(Session::describe(unnamed).desktop, Desktop::kde);
    EXPECT_FALSE(Session::needsKWinProbe(wayland(QStringLiteral("GNOME")))) << "the name already tells";
    Session::Facts x11;
    x11.x11Display = QStringLiteral(":0");
    EXPECT_FALSE(Session::needsKWinProbe(x11)) << "X11 sessions keep their backends whatever the desktop";
}

}
