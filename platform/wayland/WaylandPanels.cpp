#include "platform/wayland/WaylandPanels.h"

#include "platform/wayland/HyprlandIpc.h"
#include "platform/wayland/HyprlandPlacement.h"
#include "platform/wayland/KWinPlacement.h"
#include "platform/wayland/ShellHelper.h"
#include "platform/wayland/ShellHelperPlacement.h"
#include "platform/wayland/SwayPlacement.h"
#ifdef QUILLO_LAYER_SHELL
#include "platform/wayland/LayerShellPlacement.h"
#include "platform/wayland/WaylandGlobals.h"
#endif

namespace WaylandPanels {

std::shared_ptr<PanelPlacement> forSession(const Session& session)
{
    switch (session.desktop) {
    case Session::Desktop::sway:
        if (auto placement = std::make_shared<SwayPlacement>(qEnvironmentVariable("SWAYSOCK")); placement->isActive())
            return placement;
        break;
    case Session::Desktop::hyprland: {
        const QString socketPath = HyprlandIpc::socketPath(qEnvironmentVariable("HYPRLAND_INSTANCE_SIGNATURE"));
#ifdef QUILLO_LAYER_SHELL
        // An overlay needs the pointer before it is mapped: Hyprland says where it is. sway says
        // nowhere and a layer surface learns it only once the pointer moves; KWin's script
        // places toplevels only. There the roads above stay.
        if (WaylandGlobals::offered("zwlr_layer_shell_v1"))
            return std::make_shared<LayerShellPlacement>([socketPath] { return HyprlandIpc::pointer(socketPath); });
#endif
        return std::make_shared<HyprlandPlacement>(socketPath);
    }
    case Session::Desktop::kde: return std::make_shared<KWinPlacement>();
    case Session::Desktop::gnome:
        if (ShellHelper::answers())
            return std::make_shared<ShellHelperPlacement>();
        break;
    case Session::Desktop::other: break;
    }
    return std::make_shared<WaylandPlacement>();
}

}
