#pragma once

#include <memory>

#include "platform/KeyLayout.h"
#include "platform/PlatformServices.h"

// The X11 and AT-SPI services of the session named by DISPLAY, made for the platform loader. Without a display to
// reach, every service is left empty (the do-nothing ones stand in) and there is no layout. The services need the Qt
// application object: hot keys and focus events arrive through its event loop on the main thread.
namespace LinuxPlatform {

PlatformServices services();
// The session's keyboard layout, asked for key names; null when there is none.
std::shared_ptr<const KeyLayout> keyLayout();

}
