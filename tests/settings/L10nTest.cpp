#include <gtest/gtest.h>

#include "settings/L10n.h"
#include "settings/SettingsStore.h"
#include "tests/support/ScratchHome.h"

namespace {

using Lang = L10n::Lang;

TEST(L10nResolve, EnvironmentThenSettingThenSystem)
{
    const QStringList chinese{QStringLiteral("zh-Hans-CN")};
    EXPECT_EQ(L10n::resolve(QStringLiteral("EN_gb"), QStringLiteral("zh"), chinese), Lang::en);
    EXPECT_EQ(L10n::resolve(QStringLiteral("zh_TW.UTF-8"), QStringLiteral("en"), {}), Lang::zh);
    EXPECT_EQ(L10n::resolve(QStringLiteral("fr"), QStringLiteral("en"), chinese), Lang::en) << "unknown values are ignored";
    EXPECT_EQ(L10n::resolve(QStringLiteral(""), QStringLiteral("zh"), {}), Lang::zh);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("en"), chinese), Lang::en);

    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("auto"), chinese), Lang::zh);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("auto"), {QStringLiteral("zh-Hant-TW")}), Lang::zh);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("auto"), {QStringLiteral("en-GB"), QStringLiteral("zh")}), Lang::en);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("auto"), {QStringLiteral("ja-JP")}), Lang::en);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("auto"), {}), Lang::zh);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("klingon"), {QStringLiteral("de")}), Lang::en);
}

TEST(L10nTable, FallsBackToChineseThenToTheKey)
{
    const L10n::Entry entries[] = {
        {"both", "两种", "Both"},
        {"zhOnly", "只有中文", nullptr},
    };
    const L10nTable table(entries);
    EXPECT_EQ(table.text(QStringLiteral("both"), Lang::en), QStringLiteral("Both"));
    EXPECT_EQ(table.text(QStringLiteral("both"), Lang::zh), QStringLiteral("两种"));
    EXPECT_EQ(table.text(QStringLiteral("zhOnly"), Lang::en), QStringLiteral("只有中文"));
    EXPECT_EQ(table.text(QStringLiteral("no.such.key"), Lang::en), QStringLiteral("no.such.key"));
}

TEST(L10nFormat, FillsPlaceholdersInOrder)
{
    EXPECT_EQ(L10n::format(QStringLiteral("正在下载模型… %d%%"), {42}), QStringLiteral("正在下载模型… 42%"));
    EXPECT_EQ(L10n::format(QStringLiteral("%@ · from %@ · %@"), {QStringLiteral("a"), QStringLiteral("b%@"), QStringLiteral("c")}),
              QStringLiteral("a · from b%@ · c")) << "arguments are not formatted again";
    EXPECT_EQ(L10n::format(QStringLiteral("100%% %x %"), {}), QStringLiteral("100% %x %"));
    EXPECT_EQ(L10n::format(QStringLiteral("%@ and %@"), {QStringLiteral("one")}), QStringLiteral("one and "));
}

TEST(L10nCurrent, FollowsTheSettingAfterInvalidate)
{
    ScratchHome home;
    qunsetenv("SELVANE_UI_LANG");
    AppSettings settings;
    settings.appLanguage = QStringLiteral("en");
    SettingsStore::save(settings);
    L10n::invalidate();
    EXPECT_EQ(L10n::t("common.cancel"), QStringLiteral("Cancel"));
    EXPECT_EQ(L10n::tf("model.dl.downloading", {42}), QStringLiteral("Downloading model… 42%"));

    settings.appLanguage = QStringLiteral("zh");
    SettingsStore::save(settings);
    EXPECT_EQ(L10n::current(), Lang::en) << "the language is cached until invalidated";
    L10n::invalidate();
    EXPECT_EQ(L10n::t("common.cancel"), QStringLiteral("取消"));
    EXPECT_EQ(L10n::tf("model.dl.downloading", {42}), QStringLiteral("正在下载模型… 42%"));

    qputenv("SELVANE_UI_LANG", "en-US");
    L10n::invalidate();
    EXPECT_EQ(L10n::current(), Lang::en);
    qunsetenv("SELVANE_UI_LANG");
    L10n::invalidate();
}

}
