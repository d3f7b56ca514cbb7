#include "prompts/ActionOptions.h"

#include "core/ActionKey.h"
#include "settings/SettingsStore.h"

namespace {

using Option = ActionOptions::Option;

template <typename Entry>
QStringList displayNames(const QList<Entry>& catalogue)
{
    QStringList names;
    for (const Entry& entry : catalogue)
        names.append(entry.displayName());
    return names;
}

template <typename Entry>
int indexOfId(const QList<Entry>& catalogue, const QString& id)
{
    for (int i = 0; i < catalogue.size(); ++i) {
        if (catalogue[i].id == id)
            return i;
    }
    return 0;
}

bool withinCatalogue(int index, qsizetype count)
{
    return index >= 0 && index < count;
}

}

std::shared_ptr<ActionOptions> ActionOptions::fromStoredDefaults(const AppSettings& settings)
{
    auto options = std::make_shared<ActionOptions>();
    options->scenarioId = settings.defaultScenario;
    options->creativity =
        PromptLibrary::creativity(settings.defaultCreativity).value_or(PromptLibrary::Creativity::moderate);
    options->explainModeId = settings.defaultExplainMode == QLatin1String("translate") ? QStringLiteral("plain")
                                                                                       : settings.defaultExplainMode;
    options->translateDirection = settings.defaultTranslateDirection;
    return options;
}

bool ActionOptions::persist() const
{
    AppSettings settings = SettingsStore::load();
    settings.defaultScenario = scenarioId;
    settings.defaultCreativity = PromptLibrary::rawValue(creativity);
    settings.defaultExplainMode = explainModeId;
    settings.defaultTranslateDirection = translateDirection;
    return SettingsStore::save(settings);
}

QList<Option> ActionOptions::optionsShown(const std::optional<QString>& actionKey)
{
    if (!actionKey)
        return {Option::scenario, Option::creativity, Option::explainMode, Option::translation};
    if (*actionKey == ActionKey::rewrite)
        return {Option::scenario, Option::creativity};
    if (*actionKey == ActionKey::explain)
        return {Option::explainMode};
    if (*actionKey == ActionKey::translate)
        return {Option::translation};
    return {};
}

QStringList ActionOptions::menuItems(Option option)
{
    switch (option) {
    case Option::scenario: return displayNames(PromptLibrary::scenarios());
    case Option::creativity: {
        QStringList names;
        for (PromptLibrary::Creativity level : PromptLibrary::creativities())
            names.append(PromptLibrary::displayName(level));
        return names;
    }
    case Option::explainMode: return displayNames(PromptLibrary::explainModes());
    case Option::translation: return displayNames(PromptLibrary::translateDirections());
    }
    return {};
}

int ActionOptions::selectedIndex(Option option) const
{
    switch (option) {
    case Option::scenario: return indexOfId(PromptLibrary::scenarios(), scenarioId);
    case Option::creativity: return int(PromptLibrary::creativities().indexOf(creativity));
    case Option::explainMode: return indexOfId(PromptLibrary::explainModes(), explainModeId);
    case Option::translation: return indexOfId(PromptLibrary::translateDirections(), translateDirection);
    }
    return 0;
}

void ActionOptions::select(Option option, int index)
{
    switch (option) {
    case Option::scenario:
        if (withinCatalogue(index, PromptLibrary::scenarios().size()))
            scenarioId = PromptLibrary::scenarios()[index].id;
        break;
    case Option::creativity:
        if (withinCatalogue(index, PromptLibrary::creativities().size()))
            creativity = PromptLibrary::creativities()[index];
        break;
    case Option::explainMode:
        if (withinCatalogue(index, PromptLibrary::explainModes().size()))
            explainModeId = PromptLibrary::explainModes()[index].id;
        break;
    case Option::translation:
        if (withinCatalogue(index, PromptLibrary::translateDirections().size()))
            translateDirection = PromptLibrary::translateDirections()[index].id;
        break;
    }
}
