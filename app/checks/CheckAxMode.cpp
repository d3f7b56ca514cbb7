#include "app/Modes.h"

#include "app/Out.h"
#include "platform/PlatformServices.h"

// Trusted as the shortcut sees it: on X11 the display answers; on Wayland the session's
// accessibility switch is on and its bus answers.
const Mode checkAxMode = {AppObject::desktop, nullptr,
                          "tell whether the selection services of this session can be reached", [](const QStringList&) {
                              const bool trusted = Platform::services().accessibility->isTrusted();
                              out(trusted ? QStringLiteral("AX_TRUSTED") : QStringLiteral("AX_NOT_TRUSTED"));
                              return trusted ? 0 : 1;
                          }};
