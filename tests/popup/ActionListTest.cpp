#include <gtest/gtest.h>

#include "popup/ActionList.h"
#include "prompts/ActionOptions.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "tests/support/Printers.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

const QString english = QStringLiteral("The quick brown fox jumps over the lazy dog.");
const QString chinese = QStringLiteral("熵增定律说的是孤立系统总会走向混乱。");

// One field of each action, in their order.
template <typename T>
QList<T> each(const QList<PopupAction>& actions, T PopupAction::*field)
{
    QList<T> values;
    for (const PopupAction& action : actions)
        values.append(action.*field);
    return values;
}

class ActionListTest : public ::testing::Test {
protected:
    ScopedEnv lang{"SELVANE_UI_LANG", "zh"}; // before the home, which forgets the language it resolved
    ScratchHome home;
    ActionOptions options;

    static void configure(bool compareMode, EngineChoice explain = EngineChoice::local,
                          EngineChoice translate = EngineChoice::local, EngineChoice rewrite = EngineChoice::cloud)
    {
        changeSettings([&](AppSettings& settings) {
            settings.compareMode = compareMode;
            settings.explainEngine = explain;
            settings.translateEngine = translate;
            settings.rewriteEngine = rewrite;
        });
    }

    QList<PopupAction> build(const QString& text) const
    {
        return buildActions(text, options, std::nullopt, std::nullopt);
    }
};

TEST_F(ActionListTest, ForeignTextPutsTranslateFirstInBothModes)
{
    const QString e = QStringLiteral("解释"), t = QStringLiteral("翻译"), r = QStringLiteral("改写");
    struct Case {
        bool compareMode;
        QString text;
        QStringList keys;
    };
    const QList<Case> cases = {
        {false, english, {t, e, r}},
        {false, chinese, {e, t, r}},
        {false, QStringLiteral("3.14 + 42 = ?"), {e, t, r}}, // no letters: never foreign
        {true, english, {t, e, r, r}},
        {true, chinese, {e, t, r, r}},
    };
    for (const Case& c : cases) {
        configure(c.compareMode);
        EXPECT_EQ(each(build(c.text), &PopupAction::actionKey), c.keys)
            << c.text.toStdString() << " compare=" << c.compareMode;
    }
}

TEST_F(ActionListTest, EnginesAndTitlesFollowCompareModeOrTheSettings)
{
    configure(true, EngineChoice::cloud, EngineChoice::cloud, EngineChoice::local);
    const QList<PopupAction> actions = build(chinese);
    EXPECT_EQ(each(actions, &PopupAction::title),
              (QStringList{QStringLiteral("解释·本地"), QStringLiteral("翻译·本地"), QStringLiteral("改写·本地"),
                           QStringLiteral("改写·云端")}));
    EXPECT_EQ(each(actions, &PopupAction::useLocal), (QList<bool>{true, true, true, false}));
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[2].systemPrompt, actions[3].systemPrompt);

    // Outside compare mode each action runs where the settings say.
    configure(false, EngineChoice::local, EngineChoice::cloud, EngineChoice::cloud);
    EXPECT_EQ(build(chinese)[0].title, QStringLiteral("解释"));
    EXPECT_EQ(each(build(chinese), &PopupAction::useLocal), (QList<bool>{true, false, false}));

    ScopedEnv en("SELVANE_UI_LANG", "en");
    L10n::invalidate();
    configure(true);
    EXPECT_EQ(build(chinese)[3].title, QStringLiteral("Rewrite·Cloud"));
}

}
