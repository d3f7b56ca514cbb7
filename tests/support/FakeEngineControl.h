#pragma once

#include <condition_variable>
#include <mutex>

#include <QSet>

#include "engines/ollama/EngineControl.h"

// EngineControl with canned answers and a record of its calls, for controller and window tests.
// Safe from any task. A call whose name is in `held` waits, recorded, until release() or its stop
// token; stopped there it gives the empty or failed answer. No test downloads through it: a pull
// is recorded and ends `cancelled`.
class FakeEngineControl final : public EngineControl {
public:
    struct Script {
        AIReadiness readiness = AIReadiness::localReady;
        QStringList models; // a delete removes its model
        QStringList ownOllamaModels;
        LocalEngineHeal::Outcome healOutcome;
        // "readiness", "isRunning", "ensureRunning", "models", "pull", "deleteModel",
        // "ownOllamaModels", "heal"
        QSet<QString> held;
    };

    void change(const std::function<void(Script&)>& edit)
    {
        std::lock_guard lock(m_mutex);
        edit(m_script);
        m_changed.notify_all();
    }
    void release(const QString& call)
    {
        change([&call](Script& script) { script.held.remove(call); });
    }
    // Every call so far, in order, as its name followed by its model argument when it has one.
    QStringList calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

    AIReadiness readiness(const AppSettings&, std::stop_token stop) override
    {
        return enter(QStringLiteral("readiness"), stop) ? script().readiness
                                                        : AIReadiness(AIReadiness::neitherConfigured);
    }
    bool isBundled() override { return true; }
    bool isRunning(std::stop_token stop) override { return enter(QStringLiteral("isRunning"), stop); }
    bool ensureRunning(std::stop_token stop) override { return enter(QStringLiteral("ensureRunning"), stop); }
    QStringList models(std::stop_token stop) override
    {
        return enter(QStringLiteral("models"), stop) ? script().models : QStringList();
    }
    std::optional<PullError> pull(const QString& name, const ProgressHandler&, std::stop_token stop) override
    {
        enter(QStringLiteral("pull"), stop, name);
        return PullError{PullError::Case::cancelled, 0, {}};
    }
    bool deleteModel(const QString& name, std::stop_token stop) override
    {
        if (!enter(QStringLiteral("deleteModel"), stop, name))
            return false;
        bool removed = false;
        change([&](Script& script) { removed = script.models.removeAll(name) > 0; });
        return removed;
    }
    QStringList ownOllamaModels(std::stop_token stop) override
    {
        return enter(QStringLiteral("ownOllamaModels"), stop) ? script().ownOllamaModels : QStringList();
    }
    // A switch is reported once, as the real heal saves the switched settings.
    LocalEngineHeal::Outcome heal(std::stop_token stop) override
    {
        if (!enter(QStringLiteral("heal"), stop))
            return LocalEngineHeal::Outcome::noChange();
        LocalEngineHeal::Outcome outcome;
        change([&outcome](Script& script) { outcome = std::exchange(script.healOutcome, {}); });
        return outcome;
    }
    void shutdown() override
    {
        std::lock_guard lock(m_mutex);
        m_calls.append(QStringLiteral("shutdown"));
    }
    QString baseURL() override { return QStringLiteral("http://127.0.0.1:11435"); }

private:
    Script script() const
    {
        std::lock_guard lock(m_mutex);
        return m_script;
    }

    // Records the call and waits while it is held; false when the stop token ended the wait.
    bool enter(const QString& call, std::stop_token stop, const QString& model = {})
    {
        std::unique_lock lock(m_mutex);
        m_calls.append(model.isEmpty() ? call : call + QLatin1Char(' ') + model);
        return m_changed.wait(lock, stop, [&] { return !m_script.held.contains(call); });
    }

    mutable std::mutex m_mutex;
    std::condition_variable_any m_changed;
    Script m_script;
    QStringList m_calls;
};
