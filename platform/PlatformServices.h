#pragma once

#include <memory>

#include "platform/Accessibility.h"
#include "platform/Clipboard.h"
#include "platform/DesktopHelper.h"
#include "platform/GlobalHotKeys.h"
#include "platform/PanelPlacement.h"
#include "platform/ScreenImages.h"
#include "platform/Session.h"
#include "platform/SyntheticKeys.h"
#include "platform/Workspace.h"

// The operating-system services the logic uses.
struct PlatformServices {
    std::shared_ptr<GlobalHotKeys> hotKeys;
    std::shared_ptr<SyntheticKeys> keys;
    std::shared_ptr<Clipboard> clipboard;
    std::shared_ptr<Accessibility> accessibility;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<PanelPlacement> panels;
    std::shared_ptr<ScreenImages> screenImages; // Wayland only: X11 programs read the screen themselves
    std::shared_ptr<DesktopHelper> desktopHelper;
    Session session; // what the services were chosen for
};

// The services every layer reaches, installed by the composition root (fakes by tests). Every
// member is always there: a service installed empty, and every service before the first
// install, is one that does nothing (grabs fail, the clipboard is empty, no application is in
// front, keys go nowhere, panels are
// drawn opaque where the toolkit puts them), so callers never check.
namespace Platform {

void install(PlatformServices services);
PlatformServices services();

}
