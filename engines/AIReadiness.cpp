#include "engines/AIReadiness.h"

#include "engines/ManagedOllama.h"
#include "engines/OllamaService.h"
#include "settings/AppSettings.h"

AIReadiness AIReadiness::current(const AppSettings& settings)
{
    const bool localAvailable = ManagedOllama::isBundled() || OllamaService::ollamaPath() || OllamaService::hasModel(settings.qwenModel);
    return decide(localAvailable, settings.anyCloudKeyConfigured());
}
