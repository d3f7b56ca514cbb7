#pragma once

#include <memory>

#include "platform/Accessibility.h"
#include "platform/Clipboard.h"
#include "platform/GlobalHotKeys.h"
#include "platform/SyntheticKeys.h"
#include "platform/Workspace.h"

// The operating-system services the logic uses, installed once at start-up (fakes in tests).
// A service left empty is unavailable, and whatever needs it yields nothing.
struct PlatformServices {
    std::shared_ptr<GlobalHotKeys> hotKeys;
    std::shared_ptr<SyntheticKeys> keys;
    std::shared_ptr<Clipboard> clipboard;
    std::shared_ptr<Accessibility> accessibility;
    std::shared_ptr<Workspace> workspace;
};

namespace Platform {

void install(PlatformServices services);
PlatformServices services();

}
