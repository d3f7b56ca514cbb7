#include "popup/ActionList.h"

#include "core/ActionKey.h"
#include "core/CjkRatio.h"
#include "profile/ProfileEngine.h"
#include "profile/ProfileStore.h"
#include "prompts/ActionOptions.h"
#include "prompts/PromptLibrary.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"

namespace {

struct Prompts {
    QString system;
    QString user;
};

QString titleOf(const QString& actionKey)
{
    if (actionKey == ActionKey::explain)
        return L10n::t("popup.action.explain");
    if (actionKey == ActionKey::translate)
        return L10n::t("popup.action.translate");
    return L10n::t("popup.action.rewrite");
}

QString systemPromptOf(const QString& actionKey, const QString& selectedText, const ActionOptions& options)
{
    if (actionKey == ActionKey::explain)
        return PromptLibrary::explainSystem(options.explainModeId);
    if (actionKey == ActionKey::translate)
        return PromptLibrary::translateSystem(
            PromptLibrary::resolveDirection(options.translateDirection, selectedText));
    return PromptLibrary::rewriteSystem(options.scenarioId, options.creativity);
}

// The two texts of an action's run, with the profile put in front of the system prompt where
// the injection rule allows it (never for translation).
Prompts promptsOf(const QString& actionKey, const QString& selectedText, const ActionOptions& options,
                  const std::optional<QString>& before, const std::optional<QString>& after, bool profileEnabled,
                  const std::optional<QString>& profile)
{
    Prompts prompts{systemPromptOf(actionKey, selectedText, options),
                    PromptLibrary::contextualUserPrompt(actionKey, selectedText, before, after)};
    if (ProfileEngine::shouldInject(actionKey, profileEnabled, profile))
        prompts.system = ProfileEngine::injectionPreamble(*profile) + QStringLiteral("\n\n") + prompts.system;
    return prompts;
}

}

bool usesLocalEngine(const AppSettings& settings, const QString& actionKey)
{
    const EngineChoice engine = actionKey == ActionKey::explain ? settings.explainEngine
        : actionKey == ActionKey::translate                     ? settings.translateEngine
                                                                : settings.rewriteEngine;
    return engine == EngineChoice::local;
}

QList<PopupAction> buildActions(const QString& selectedText, const ActionOptions& options,
                                const std::optional<QString>& before, const std::optional<QString>& after)
{
    const AppSettings settings = SettingsStore::load();
    std::optional<QString> profile;
    if (const std::optional<UserProfile> stored = ProfileStore::load())
        profile = stored->text;

    auto action = [&](const QString& key, bool useLocal, const QString& title) {
        const Prompts prompts = promptsOf(key, selectedText, options, before, after, settings.profileEnabled, profile);
        return PopupAction{title, key, prompts.system, prompts.user, useLocal};
    };
    QList<PopupAction> actions;
    if (settings.compareMode) {
        auto suffixed = [](const QString& key, const char* suffixKey) {
            return titleOf(key) + QStringLiteral("·") + L10n::t(suffixKey);
        };
        for (const QString& key : {ActionKey::explain, ActionKey::translate, ActionKey::rewrite})
            actions.append(action(key, true, suffixed(key, "popup.engineSuffix.local")));
        actions.append(action(ActionKey::rewrite, false, suffixed(ActionKey::rewrite, "popup.engineSuffix.cloud")));
    } else {
        for (const QString& key : {ActionKey::explain, ActionKey::translate, ActionKey::rewrite})
            actions.append(action(key, usesLocalEngine(settings, key), titleOf(key)));
    }
    putTranslateFirstForForeignText(actions, selectedText, [](const PopupAction& a) { return a.actionKey; });
    return actions;
}
