#include "platform/linux/LinuxPlatform.h"

#include "core/KeyFormatter.h"
#include "platform/PlatformServices.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/XClipboard.h"
#include "platform/linux/XTestKeys.h"
#include "platform/linux/XWorkspace.h"
#include "platform/linux/XcbHotKeys.h"
#include "platform/linux/XkbKeyLayout.h"

LinuxPlatform::LinuxPlatform()
{
    auto workspace = std::make_shared<XWorkspace>();
    Platform::install({
        std::make_shared<XcbHotKeys>(),
        std::make_shared<XTestKeys>(),
        std::make_shared<XClipboard>(),
        std::make_shared<AtspiAccessibility>(workspace),
        workspace,
    });
    if (auto layout = std::make_shared<XkbKeyLayout>(); layout->isValid())
        KeyFormatter::setLayout(std::move(layout));
}

LinuxPlatform::~LinuxPlatform()
{
    Platform::install({});
    KeyFormatter::setLayout(nullptr);
}
