#include "platform/Session.h"

#include <QStringList>

namespace {

Session::Display displayOf(const Session::Facts& facts)
{
    const QString type = facts.sessionType.toLower();
    // A Wayland socket inherited into an X11 session (a nested compositor's) does not make it one.
    if (!facts.waylandDisplay.isEmpty() && (type != QLatin1String("x11") || facts.x11Display.isEmpty()))
        return Session::Display::wayland;
    if (!facts.x11Display.isEmpty())
        return Session::Display::x11;
    return Session::Display::none;
}

Session::Desktop desktopNamed(const QString& currentDesktop)
{
    // Distributions put their own name first: "ubuntu:GNOME", "pop:GNOME".
    for (const QString& name : currentDesktop.toLower().split(u':', Qt::SkipEmptyParts)) {
        if (name == QLatin1String("gnome") || name == QLatin1String("gnome-classic"))
            return Session::Desktop::gnome;
        if (name == QLatin1String("kde"))
            return Session::Desktop::kde;
        if (name == QLatin1String("sway"))
            return Session::Desktop::sway;
        if (name == QLatin1String("hyprland"))
            return Session::Desktop::hyprland;
    }
    return Session::Desktop::other;
}

}

Session::Facts Session::Facts::fromEnvironment()
{
    Facts facts;
    facts.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    facts.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    facts.x11Display = qEnvironmentVariable("DISPLAY");
    facts.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    facts.swaySocket = qEnvironmentVariable("SWAYSOCK");
    facts.hyprlandSignature = qEnvironmentVariable("HYPRLAND_INSTANCE_SIGNATURE");
    return facts;
}

bool Session::needsKWinProbe(const Facts& facts)
{
    return displayOf(facts) == Display::wayland && facts.swaySocket.isEmpty() && facts.hyprlandSignature.isEmpty()
        && desktopNamed(facts.currentDesktop) == Desktop::other;
}

Session Session::describe(const Facts& facts)
{
    Session session;
    session.display = displayOf(facts);
    session.xwayland = session.display == Display::wayland && !facts.x11Display.isEmpty();
    // The compositor's own socket says more than a name inherited from the login manager.
    if (!facts.hyprlandSignature.isEmpty())
        session.desktop = Desktop::hyprland;
    else if (!facts.swaySocket.isEmpty())
        session.desktop = Desktop::sway;
    else if (Desktop named = desktopNamed(facts.currentDesktop); named != Desktop::other)
        session.desktop = named;
    else if (facts.kwinAnswers)
        session.desktop = Desktop::kde;
    return session;
}
