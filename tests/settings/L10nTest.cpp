#include <gtest/gtest.h>

#include "settings/L10n.h"
#include "tests/support/ScratchHome.h"

namespace {

using Lang = L10n::Lang;

TEST(L10nResolve, EnvironmentThenSettingThenSystem)
{
    const QStringList chinese{QStringLiteral("zh-Hans-CN")};
    EXPECT_EQ(L10n::resolve(QStringLiteral("EN_gb"), QStringLiteral("zh"), chinese), Lang::en);
    EXPECT_EQ(L10n::resolve(QStringLiteral("zh_TW.UTF-8"), QStringLiteral("en"), {}), Lang::zh);
    EXPECT_EQ(L10n::resolve(QStringLiteral("fr"), QStringLiteral("en"), chinese), Lang::en) << "unknown values are ignored";
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("en"), chinese), Lang::en);

    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("auto"), chinese), Lang::zh);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("auto"), {QStringLiteral("en-GB"), QStringLiteral("zh")}), Lang::en);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("auto"), {QStringLiteral("ja-JP")}), Lang::en);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("auto"), {}), Lang::zh);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("klingon"), {QStringLiteral("de")}), Lang::en);
}

TEST(L10nFormat, FillsPlaceholdersInOrderAndAnUnknownKeyShowsItself)
{
    EXPECT_EQ(L10n::t("no.such.key"), QStringLiteral("no.such.key"));
    EXPECT_EQ(L10n::format(QStringLiteral("正在下载模型… %d%%"), {42}), QStringLiteral("正在下载模型… 42%"));
    EXPECT_EQ(L10n::format(QStringLiteral("%@ · from %@ · %@"), {QStringLiteral("a"), QStringLiteral("b%@"), QStringLiteral("c")}),
              QStringLiteral("a · from b%@ · c")) << "arguments are not formatted again";
    EXPECT_EQ(L10n::format(QStringLiteral("100%% %x %"), {}), QStringLiteral("100% %x %"));
    EXPECT_EQ(L10n::format(QStringLiteral("%@ and %@"), {QStringLiteral("one")}), QStringLiteral("one and "));
}

TEST(L10nCurrent, FollowsTheSettingOnceInvalidated)
{
    ScratchHome home;
    qunsetenv("SELVANE_UI_LANG");
    changeSettings([](AppSettings& settings) { settings.appLanguage = QStringLiteral("en"); });
    L10n::invalidate();
    EXPECT_EQ(L10n::tf("model.dl.downloading", {42}), QStringLiteral("Downloading model… 42%"));
    changeSettings([](AppSettings& settings) { settings.appLanguage = QStringLiteral("zh"); });
    EXPECT_EQ(L10n::current(), Lang::en) << "the language is cached until invalidated";
    L10n::invalidate();
    EXPECT_EQ(L10n::t("common.cancel"), QStringLiteral("取消"));
    qputenv("SELVANE_UI_LANG", "en-US");
    L10n::invalidate();
    EXPECT_EQ(L10n::current(), Lang::en);
    qunsetenv("SELVANE_UI_LANG");
    L10n::invalidate();
}

}
