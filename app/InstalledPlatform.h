#pragma once

#include <memory>

#include "core/KeyFormatter.h"
#include "platform/PlatformServices.h"
#include "platform/loader/PlatformLoader.h"

// The session's platform services, which every layer reaches, and its layout for key names,
// installed for as long as this lives; the do-nothing services and the US layout before and
// after. Made by the composition root and by tests. Its end destroys the services, and with them
// hands the clipboard we own to a clipboard manager.
class InstalledPlatform {
public:
    InstalledPlatform()
    {
        const Session session = PlatformLoader::currentSession();
        Platform::install(PlatformLoader::services(session));
        if (std::shared_ptr<const KeyLayout> layout = PlatformLoader::keyLayout(session))
            KeyFormatter::setLayout(std::move(layout));
    }
    ~InstalledPlatform()
    {
        Platform::install({});
        KeyFormatter::setLayout(nullptr);
    }
    InstalledPlatform(const InstalledPlatform&) = delete;
    InstalledPlatform& operator=(const InstalledPlatform&) = delete;
};
