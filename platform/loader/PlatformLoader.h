#pragma once

#include <functional>
#include <memory>

#include <QString>

#include "platform/KeyLayout.h"
#include "platform/PlatformServices.h"
#include "platform/Session.h"

// The one place where the backends of every capability are chosen for the session.
//
// Adding a backend: put it in platform/<backend>/ (nothing outside such a folder may include a
// display server's or AT-SPI's headers), implementing an interface of platform/; make it in
// services() below, in the branch of the sessions it serves, after checking that it answers
// there. A new capability gets its interface in platform/ and a member in PlatformServices with
// a do-nothing default in PlatformServices.cpp, so sessions without a backend keep working.
// X11 sessions take the X11 backends of platform/linux; Wayland sessions the AT-SPI and
// compositor backends of platform/atspi and platform/wayland.
namespace PlatformLoader {

// The session of this process: its environment, and KWin asked on the session bus where the
// environment does not tell. Needs the Qt application object.
Session currentSession();
// Where a grant the desktop gave for typing keys (the RemoteDesktop portal's token) is kept
// between runs; the caller knows the user's files. Either may be empty: nothing is kept.
struct KeyGrantStore {
    std::function<QString()> read;
    std::function<void(const QString&)> write;
};

// The services for the session, made for the composition root to install. The services need
// the Qt application object: hot keys and focus events arrive through its event loop.
PlatformServices services(const Session& session, const KeyGrantStore& keyGrant = {});
// The session's keyboard layout, asked for key names; null when there is none to ask.
std::shared_ptr<const KeyLayout> keyLayout(const Session& session);

}
