#include "platform/wayland/WaylandPanels.h"

#include "platform/wayland/HyprlandIpc.h"
#include "platform/wayland/HyprlandPlacement.h"
#include "platform/wayland/KWinPlacement.h"
#include "platform/wayland/SwayPlacement.h"

namespace WaylandPanels {

std::shared_ptr<PanelPlacement> forSession(const Session& session)
{
    switch (session.desktop) {
    case Session::Desktop::sway:
        if (auto placement = std::make_shared<SwayPlacement>(qEnvironmentVariable("SWAYSOCK")); placement->isActive())
            return placement;
        break;
    case Session::Desktop::hyprland:
        return std::make_shared<HyprlandPlacement>(
            HyprlandIpc::socketPath(qEnvironmentVariable("HYPRLAND_INSTANCE_SIGNATURE")));
    case Session::Desktop::kde: return std::make_shared<KWinPlacement>();
    case Session::Desktop::gnome:
    case Session::Desktop::other: break;
    }
    return std::make_shared<WaylandPlacement>();
}

}
