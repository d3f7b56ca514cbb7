#pragma once

#include <memory>

#include <QFile>

#include "core/KeyFormatter.h"
#include "platform/PlatformServices.h"
#include "platform/loader/PlatformLoader.h"
#include "settings/HomeDir.h"
#include "settings/PrivateFile.h"

// The session's platform services, which every layer reaches, and its layout for key names,
// installed for as long as this lives; the do-nothing services and the US layout before and
// after. Made by the composition root and by tests. Its end destroys the services, and with them
// hands the clipboard we own to a clipboard manager.
class InstalledPlatform {
public:
    InstalledPlatform()
    {
        const Session session = PlatformLoader::currentSession();
        Platform::install(PlatformLoader::services(session, keyGrantStore()));
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

    // The desktop's grant for typing keys, beside the settings: private, written whole.
    static PlatformLoader::KeyGrantStore keyGrantStore()
    {
        const QString file = HomeDir::dataDir() + QStringLiteral("/remote-desktop-token");
        return {[file] {
                    QFile stored(file);
                    return stored.open(QIODevice::ReadOnly) ? QString::fromUtf8(stored.read(4096)) : QString();
                },
                [file](const QString& token) {
                    if (HomeDir::ensureDataDir())
                        PrivateFile::writeAtomically(file, token.toUtf8());
                }};
    }
};
