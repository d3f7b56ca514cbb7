#pragma once

#include "engines/ollama/AIReadiness.h"
#include "profile/ProfileEngine.h"

// The engines as the one-shot chat the profile asks for.
class EngineChats {
public:
    // The local engine when it is ready, else the cloud engine when a key is configured, else
    // none (an empty function).
    static ProfileEngine::OneShotChat oneShot(AIReadiness readiness);
};
