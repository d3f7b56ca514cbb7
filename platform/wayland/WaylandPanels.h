#pragma once

#include <memory>

#include "platform/PanelPlacement.h"
#include "platform/Session.h"

// The panel placement for the Wayland compositor of the session: sway (when its socket takes
// the rule), Hyprland, KWin, GNOME Shell with Quillo's helper extension, else the compositor's
// own placement.
namespace WaylandPanels {

std::shared_ptr<PanelPlacement> forSession(const Session& session);

}
