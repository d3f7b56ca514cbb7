#include <gtest/gtest.h>

#include "popup/ActionList.h"
#include "profile/ProfileEngine.h"
#include "profile/ProfileStore.h"
#include "prompts/ActionOptions.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "tests/support/QStringPrinter.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

const QString english = QStringLiteral("The quick brown fox jumps over the lazy dog.");
const QString chinese = QStringLiteral("熵增定律说的是孤立系统总会走向混乱。");

QStringList keysOf(const QList<PopupAction>& actions)
{
    QStringList keys;
    for (const PopupAction& action : actions)
        keys.append(action.actionKey);
    return keys;
}

class ActionListTest : public ::testing::Test {
protected:
    ScratchHome home;
    ScopedEnv lang{"SELVANE_UI_LANG", "zh"};
    ActionOptions options;

    void SetUp() override { L10n::invalidate(); }

    static void configure(bool compareMode, const QString& explain = QStringLiteral("local"),
                          const QString& translate = QStringLiteral("local"), const QString& rewrite = QStringLiteral("cloud"))
    {
        AppSettings settings = SettingsStore::load();
        settings.compareMode = compareMode;
        settings.explainEngine = explain;
        settings.translateEngine = translate;
        settings.rewriteEngine = rewrite;
        ASSERT_TRUE(SettingsStore::save(settings));
    }

    QList<PopupAction> build(const QString& text) const { return buildActions(text, options, std::nullopt, std::nullopt); }
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
        EXPECT_EQ(keysOf(build(c.text)), c.keys) << c.text.toStdString() << " compare=" << c.compareMode;
    }
}

TEST_F(ActionListTest, CompareModeOffersRewriteOnBothEnginesWhateverTheSettings)
{
    configure(true, QStringLiteral("cloud"), QStringLiteral("cloud"), QStringLiteral("local"));
    const QList<PopupAction> actions = build(chinese);
    ASSERT_EQ(actions.size(), 4);
    const QStringList titles = {QStringLiteral("解释·本地"), QStringLiteral("翻译·本地"), QStringLiteral("改写·本地"), QStringLiteral("改写·云端")};
    const QList<bool> local = {true, true, true, false};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(actions[i].title, titles[i]);
        EXPECT_EQ(actions[i].useLocal, local[i]) << i;
    }
    EXPECT_EQ(actions[2].systemPrompt, actions[3].systemPrompt);

    ScopedEnv en("SELVANE_UI_LANG", "en");
    L10n::invalidate();
    EXPECT_EQ(build(chinese)[3].title, QStringLiteral("Rewrite·Cloud"));
}

TEST_F(ActionListTest, OutsideCompareModeOnlyTheExactWordLocalMeansTheLocalEngine)
{
    configure(false, QStringLiteral("local"), QStringLiteral("Local"), QString());
    const QList<PopupAction> actions = build(chinese);
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0].title, QStringLiteral("解释"));
    EXPECT_TRUE(actions[0].useLocal);
    EXPECT_FALSE(actions[1].useLocal);
    EXPECT_FALSE(actions[2].useLocal);
}

TEST_F(ActionListTest, TheProfileReachesExplainAndRewriteButNeverTranslate)
{
    configure(false);
    UserProfile profile;
    profile.text = QStringLiteral("关注宏观经济，偏好通俗解释");
    ASSERT_TRUE(ProfileStore::save(profile));
    options.explainModeId = QStringLiteral("kid");
    options.scenarioId = QStringLiteral("email");
    options.creativity = PromptLibrary::Creativity::faithful;
    const QString before = QStringLiteral("We sat on the river");
    const QString after = QStringLiteral("and watched the boats.");
    const QString text = QStringLiteral("bank");
    const QString preamble = ProfileEngine::injectionPreamble(profile.text) + QStringLiteral("\n\n");

    const QList<PopupAction> actions = buildActions(text, options, before, after);
    ASSERT_EQ(keysOf(actions), (QStringList{QStringLiteral("翻译"), QStringLiteral("解释"), QStringLiteral("改写")}));
    EXPECT_EQ(actions[0].systemPrompt, PromptLibrary::translateSystem(QStringLiteral("zh")));
    EXPECT_EQ(actions[1].systemPrompt, preamble + PromptLibrary::explainSystem(QStringLiteral("kid")));
    EXPECT_EQ(actions[2].systemPrompt,
              preamble + PromptLibrary::rewriteSystem(QStringLiteral("email"), PromptLibrary::Creativity::faithful));
    for (const PopupAction& action : actions)
        EXPECT_EQ(action.initialUserPrompt, PromptLibrary::contextualUserPrompt(action.actionKey, text, before, after));

    AppSettings settings = SettingsStore::load();
    settings.profileEnabled = false;
    ASSERT_TRUE(SettingsStore::save(settings));
    EXPECT_EQ(buildActions(text, options, before, after)[1].systemPrompt, PromptLibrary::explainSystem(QStringLiteral("kid")));
}

}
