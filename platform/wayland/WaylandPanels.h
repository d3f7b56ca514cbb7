#pragma once

#include <memory>

#include "platform/PanelPlacement.h"
#include "platform/Session.h"

// The panel placement for the Wayland compositor of the session: sway (when its socket takes
// the rule), Hyprland, KWin, else the compositor's own placement.
namespace WaylandPanels {

std::shared_ptr<PanelPlacement> forSession(const Session& session);

}
