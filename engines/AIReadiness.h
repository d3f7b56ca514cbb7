#pragma once

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

private:
    Value m_value;
};
