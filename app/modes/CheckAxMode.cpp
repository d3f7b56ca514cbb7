#include "app/modes/Modes.h"

#include "app/Out.h"
#include "platform/linux/X11Session.h"

// On Linux the selection services are trusted when the session's X11 display can be reached.
const Mode checkAxMode = {AppObject::none, nullptr, "tell whether the selection services of this session can be reached", [](const QStringList&) {
    const bool trusted = X11Session::reachable();
    out(trusted ? QStringLiteral("AX_TRUSTED") : QStringLiteral("AX_NOT_TRUSTED"));
    return trusted ? 0 : 1;
}};
