#include "platform/linux/LinuxPlatform.h"

#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/X11Session.h"
#include "platform/linux/XClipboard.h"
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
    return {
        std::make_shared<XcbHotKeys>(),
        std::make_shared<XTestKeys>(),
        std::make_shared<XClipboard>(),
        std::make_shared<AtspiAccessibility>(workspace),
        workspace,
    };
}

std::shared_ptr<const KeyLayout> keyLayout()
{
    auto layout = std::make_shared<XkbKeyLayout>();
    if (!layout->isValid())
        return nullptr;
    return layout;
}

}
