#include "engines/ollama/LocalEngineHeal.h"

#include "engines/ollama/ManagedOllama.h"
#include "settings/SettingsStore.h"
#include "settings/UserFlags.h"

LocalEngineHeal::Outcome LocalEngineHeal::decide(bool useExternalOllama, const QStringList& localModels,
                                                 const QStringList& external, const QString& currentQwenModel)
{
    if (useExternalOllama || !localModels.isEmpty() || external.isEmpty())
        return Outcome::noChange();
    return Outcome::switchedToExternal(external.contains(currentQwenModel) ? currentQwenModel : external.first());
}

LocalEngineHeal::Outcome LocalEngineHeal::attempt(std::stop_token stop)
{
    const AppSettings settings = SettingsStore::load();
    if (settings.useExternalOllama)
        return Outcome::noChange();
    const QStringList localModels = ManagedOllama::listModels(stop);
    if (!localModels.isEmpty())
        return Outcome::noChange();
    // Asked here, on the calling task: waiting for a task queued elsewhere could wait forever
    // when the caller itself holds the last free thread.
    const Outcome outcome = decide(false, localModels, ManagedOllama::externalModels(stop), settings.qwenModel);
    if (!outcome.switched || stop.stop_requested())
        return Outcome::noChange();
    // Read again: the settings may have changed while the engines were asked.
    AppSettings switched = SettingsStore::load(true);
    switched.useExternalOllama = true;
    switched.qwenModel = outcome.model;
    SettingsStore::save(switched);
    return outcome;
}

bool LocalEngineHeal::claimSwitchNotice()
{
    return UserFlags::claim(UserFlags::autoSwitchedToExternalNotified);
}
