#pragma once

#include <stop_token>

#include <QString>
#include <QStringList>

// Switches the settings to the user's own Ollama when the built-in engine has no model yet but
// that Ollama has one. One-way: it never takes over a built-in engine with a model, never
// switches back, and does nothing when the user's Ollama has nothing to offer.
class LocalEngineHeal {
public:
    struct Outcome {
        bool switched = false;
        QString model; // the model now configured, when switched

        static Outcome noChange() { return {}; }
        static Outcome switchedToExternal(const QString& model) { return {true, model}; }
        bool operator==(const Outcome&) const = default;
    };

    static Outcome decide(bool useExternalOllama, const QStringList& localModels, const QStringList& external,
                          const QString& currentQwenModel);

    // Looks at both engines and, when `decide` says so, saves the switched settings. Blocking, on
    // the calling task; the stop token ends it without a switch.
    static Outcome attempt(std::stop_token stop = {});

    // True exactly once per user account: whether the launch-time switch notice is still to be
    // shown. Marks it as shown.
    static bool claimSwitchNotice();
};
