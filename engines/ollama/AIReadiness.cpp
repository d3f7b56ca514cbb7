#include "engines/ollama/AIReadiness.h"

#include "engines/ollama/ManagedOllama.h"
#include "engines/ollama/OllamaService.h"
#include "settings/AppSettings.h"

AIReadiness AIReadiness::current(const AppSettings& settings, std::stop_token stop)
{
    // The user's Ollama is asked over HTTP, not through `ollama list`: without an executable that
    // command does not exist, yet a server (a container, say) may still answer on its port.
    const bool localAvailable = ManagedOllama::isBundled() || OllamaService::ollamaPath()
        || OllamaService::listsModel(ManagedOllama::externalModels(std::move(stop)), settings.qwenModel);
    return decide(localAvailable, settings.anyCloudKeyConfigured());
}
