#pragma once

#include <memory>
#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "prompts/PromptLibrary.h"
#include "settings/AppSettings.h"

// The four option values of one opened popup. One object per presented selection, shared by
// the controller, the popup and its menus (main thread only); every change is stored at once
// as the new default. Fields hold ids, not catalogue entries: an unlisted id is kept as it is
// and falls back only when a prompt is built.
class ActionOptions {
public:
    enum class Option { scenario, creativity, explainMode, translation };

    QString scenarioId = QStringLiteral("general");
    PromptLibrary::Creativity creativity = PromptLibrary::Creativity::moderate;
    QString explainModeId = QStringLiteral("plain");
    QString translateDirection = QStringLiteral("auto");

    // From the stored defaults: an unknown creativity becomes moderate, and the explanation
    // mode "translate", which is no explanation style, becomes "plain".
    static std::shared_ptr<ActionOptions> fromStoredDefaults(const AppSettings& settings);

    // Stores the four values as the new defaults. False when the settings could not be written.
    bool persist() const;

    // The option menus an action shows, in the order scenario, creativity, explanation mode,
    // translation; all four without an action.
    static QList<Option> optionsShown(const std::optional<QString>& actionKey);

    // A menu's items: the display names in catalogue order.
    static QStringList menuItems(Option option);

    // The menu item showing the current value; the first item when the id is not in the catalogue.
    int selectedIndex(Option option) const;

    // Takes the catalogue entry at a menu index; an index outside the catalogue changes nothing.
    void select(Option option, int index);
};
