#pragma once

#include <stop_token>

struct AppSettings;

// Whether an action can run at all, and on which kind of engine.
class AIReadiness {
public:
    enum Value {
        localReady,        // a local engine is available (it wins over a cloud key)
        cloudOnly,         // no local engine, but a cloud key is configured
        neitherConfigured, // the caller shows its setup guidance
    };

    constexpr AIReadiness(Value value)
        : m_value(value)
    {
    }
    constexpr operator Value() const { return m_value; }

    static constexpr AIReadiness decide(bool localAvailable, bool anyCloudKeyConfigured)
    {
        if (localAvailable)
            return localReady;
        return anyCloudKeyConfigured ? cloudOnly : neitherConfigured;
    }

    // Decides from the live system: a local engine is available when the bundle carries one, an
    // `ollama` executable is installed, or the user's Ollama on its standard port lists the
    // configured model (tested in that order, the last only when needed: it asks the server).
    static AIReadiness current(const AppSettings& settings, std::stop_token stop = {});

private:
    Value m_value;
};
