#include <gtest/gtest.h>

#include "prompts/ActionOptions.h"
#include "settings/SettingsStore.h"
#include "tests/support/Printers.h"
#include "tests/support/ScratchHome.h"

namespace {

using Creativity = PromptLibrary::Creativity;
using Option = ActionOptions::Option;

TEST(ActionOptions, CreatedFromTheStoredDefaults)
{
    const std::pair<QString, Creativity> creativities[] = {
        {QStringLiteral("faithful"), Creativity::faithful},
        {QStringLiteral("creative"), Creativity::creative},
        {QStringLiteral("Creative"), Creativity::moderate},
        {QStringLiteral("wild"), Creativity::moderate},
        {QString(), Creativity::moderate},
    };
    AppSettings settings;
    for (const auto& [stored, expected] : creativities) {
        settings.defaultCreativity = stored;
        EXPECT_EQ(ActionOptions::fromStoredDefaults(settings)->creativity, expected) << stored.toStdString();
    }

    settings.defaultScenario = QStringLiteral("poetry");
    settings.defaultExplainMode = QStringLiteral("translate");
    settings.defaultTranslateDirection = QStringLiteral("ko");
    auto options = ActionOptions::fromStoredDefaults(settings);
    EXPECT_EQ(options->explainModeId, QStringLiteral("plain"));
    EXPECT_EQ(options->translateDirection, QStringLiteral("ko"));

    // An unlisted id is kept, shows as the first menu item, and falls back only in the prompt.
    EXPECT_EQ(options->scenarioId, QStringLiteral("poetry"));
    EXPECT_EQ(options->selectedIndex(Option::scenario), 0);
    EXPECT_TRUE(PromptLibrary::rewriteSystem(options->scenarioId, options->creativity)
                    .contains(PromptLibrary::scenario(QStringLiteral("general")).style));
    settings.defaultExplainMode = QStringLiteral("riddle");
    EXPECT_EQ(ActionOptions::fromStoredDefaults(settings)->explainModeId, QStringLiteral("riddle"));
}

TEST(ActionOptions, MenuIndicesMapToCatalogueEntriesAndBack)
{
    for (Option option : {Option::scenario, Option::creativity, Option::explainMode, Option::translation}) {
        const int count = int(ActionOptions::menuItems(option).size());
        ActionOptions options;
        for (int index = 0; index < count; ++index) {
            options.select(option, index);
            EXPECT_EQ(options.selectedIndex(option), index) << int(option);
        }
        for (int outside : {-1, count}) {
            options.select(option, outside);
            EXPECT_EQ(options.selectedIndex(option), count - 1) << "index " << outside << " leaves the field unchanged";
        }
    }
}

TEST(ActionOptions, PersistingStoresTheFourDefaultsAndKeepsTheRest)
{
    ScratchHome home;
    AppSettings stored;
    stored.fontScale = 1.3;
    stored.defaultScenario = QStringLiteral("poetry");
    ASSERT_TRUE(SettingsStore::save(stored));

    const auto options = ActionOptions::fromStoredDefaults(SettingsStore::load());
    const auto heldByThePopup = options;
    heldByThePopup->select(Option::creativity, 0);
    heldByThePopup->select(Option::translation, 5);
    ASSERT_TRUE(options->persist());

    const AppSettings reread = SettingsStore::load(true);
    EXPECT_EQ(reread.defaultCreativity, QStringLiteral("faithful"));
    EXPECT_EQ(reread.defaultTranslateDirection, QStringLiteral("fr"));
    EXPECT_EQ(reread.defaultScenario, QStringLiteral("poetry")) << "an untouched unlisted id is stored back unchanged";
    EXPECT_EQ(reread.defaultExplainMode, QStringLiteral("plain"));
    EXPECT_EQ(reread.fontScale, 1.3);
}

}
