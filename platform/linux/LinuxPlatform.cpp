#include "platform/linux/LinuxPlatform.h"

#include "platform/atspi/AtspiAccessibility.h"
#include "platform/linux/X11Session.h"
#include "platform/linux/XClipboard.h"
#include "platform/linux/XPanelPlacement.h"
#include "platform/linux/XTestKeys.h"
#include "platform/linux/XWorkspace.h"
#include "platform/linux/XcbHotKeys.h"
#include "platform/linux/XkbKeyLayout.h"

namespace LinuxPlatform {

PlatformServices services()
{
    if (!X11Session::reachable())
        return {};
    auto workspace = std::make_shared<XWorkspace>();
    PlatformServices services;
    services.hotKeys = std::make_shared<XcbHotKeys>();
    services.keys = std::make_shared<XTestKeys>();
    services.clipboard = std::make_shared<XClipboard>();
    services.accessibility = std::make_shared<AtspiAccessibility>(workspace, &X11Session::reachable);
    services.workspace = workspace;
    services.panels = std::make_shared<XPanelPlacement>();
    return services;
}

std::shared_ptr<const KeyLayout> keyLayout()
{
    auto layout = std::make_shared<XkbKeyLayout>();
    if (!layout->isValid())
        return nullptr;
    return layout;
}

}
