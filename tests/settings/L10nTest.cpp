#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>

#include "prompts/PromptLibrary.h"
#include "settings/CloudProviders.h"
#include "settings/L10n.h"
#include "tests/support/Files.h"
#include "tests/support/Printers.h"
#include "tests/support/ScratchHome.h"

namespace {

QSet<QString> tableKeys()
{
    QSet<QString> keys;
    for (const L10n::Entry& entry : L10n::entries())
        keys.insert(QString::fromUtf8(entry.key));
    return keys;
}

// "%@" and "%d" in order ("%%" is a literal); "%?" for a "%" that starts anything else.
QStringList placeholders(const QString& text)
{
    static const QRegularExpression marks(QStringLiteral("%(.?)"));
    QStringList found;
    for (const QRegularExpressionMatch& mark : marks.globalMatch(text)) {
        const QString next = mark.captured(1);
        if (next != QLatin1String("%"))
            found << (next == QLatin1String("@") || next == QLatin1String("d") ? mark.captured(0)
                                                                               : QStringLiteral("%?"));
    }
    return found;
}

TEST(L10nKeys, AllKeysOnceEachWithBothTextsTheSamePlaceholdersAndNoOtherDesktop)
{
    static const QRegularExpression otherDesktop(QStringLiteral(
        R"(\bMac\b|macOS|Finder|System Settings|访达|系统设置|disk image|磁盘图标|\.dmg|menu bar|菜单栏)"));
    EXPECT_EQ(tableKeys().size(), qsizetype(L10n::entries().size())) << "duplicate keys";
    for (const L10n::Entry& entry : L10n::entries()) {
        ASSERT_TRUE(entry.zh && entry.en) << entry.key;
        const QString zh = QString::fromUtf8(entry.zh), en = QString::fromUtf8(entry.en);
        EXPECT_FALSE(zh.trimmed().isEmpty() || en.trimmed().isEmpty()) << entry.key;
        EXPECT_FALSE(placeholders(zh).contains(QStringLiteral("%?"))) << entry.key << ": " << entry.zh;
        EXPECT_EQ(placeholders(zh), placeholders(en)) << entry.key;
        EXPECT_FALSE(zh.contains(otherDesktop) || en.contains(otherDesktop)) << entry.key;
    }
}

// Every source file of the product: each folder of the repository but the tests, tools,
// benchmarks, fuzz targets and build trees.
QStringList productSources(const QString& root)
{
    static const QStringList notProduct = {QStringLiteral("tests"), QStringLiteral("tools"), QStringLiteral("bench"),
                                           QStringLiteral("fuzz")};
    QStringList sources;
    for (const QFileInfo& folder : QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (notProduct.contains(folder.fileName())
            || QFileInfo::exists(folder.filePath() + QStringLiteral("/CMakeCache.txt")))
            continue;
        QDirIterator files(folder.filePath(), {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext())
            sources << files.next();
    }
    return sources;
}

// A key the program asks for that the table lacks would show the key itself to the user.
TEST(L10nKeys, EveryKeyTheProgramAsksForIsInTheTable)
{
    const QSet<QString> keys = tableKeys();
    QSet<QString> segments;
    for (const QString& key : keys)
        segments.insert(key.section(QLatin1Char('.'), 0, 0));

    QStringList asked;
    QSet<QString> foldersAsking;
    static const QRegularExpression literal(QStringLiteral(R"re("([a-zA-Z]+(?:\.[A-Za-z]+)+)")re"));
    // File names such as "settings.png" are no keys.
    static const QRegularExpression fileName(QStringLiteral(R"(\.(png|svg|json|log|md|txt|desktop|onnx|gz)$)"));
    const QString root = QDir::cleanPath(QStringLiteral(QUILLO_TESTS_DIR "/.."));
    for (const QString& path : productSources(root)) {
        if (path.endsWith(QLatin1String("/L10nStrings.cpp")))
            continue;
        for (const QRegularExpressionMatch& match : literal.globalMatch(QString::fromUtf8(readFile(path)))) {
            if (segments.contains(match.captured(1).section(QLatin1Char('.'), 0, 0))
                && !match.captured(1).contains(fileName)) {
                asked << match.captured(1);
                foldersAsking.insert(path.mid(root.size() + 1).section(QLatin1Char('/'), 0, 0));
            }
        }
    }
    EXPECT_TRUE(foldersAsking.contains(QStringLiteral("windows")) && foldersAsking.contains(QStringLiteral("tray")))
        << "the walk missed folders: " << QStringList(foldersAsking.values()).join(QLatin1Char(' ')).toStdString();
    for (const auto& scenario : PromptLibrary::scenarios())
        asked << QStringLiteral("scenario.") + scenario.id;
    for (const auto& mode : PromptLibrary::explainModes())
        asked << QStringLiteral("explain.") + mode.id;
    for (const QString& direction : PromptLibrary::translateDirectionIds())
        asked << QStringLiteral("translate.dir.") + direction;
    for (const PromptLibrary::Creativity level : PromptLibrary::creativities())
        asked << QStringLiteral("creativity.") + PromptLibrary::rawValue(level);
    for (const CloudProvider& provider : CloudProviders::all())
        asked << provider.l10nKey;
    for (const QString& key : asked)
        EXPECT_TRUE(keys.contains(key)) << key.toStdString();
}

using Lang = L10n::Lang;

TEST(L10nResolve, EnvironmentThenSettingThenSystem)
{
    const QStringList chinese{QStringLiteral("zh-Hans-CN")};
    EXPECT_EQ(L10n::resolve(QStringLiteral("EN_gb"), QStringLiteral("zh"), chinese), Lang::en);
    EXPECT_EQ(L10n::resolve(QStringLiteral("zh_TW.UTF-8"), QStringLiteral("en"), {}), Lang::zh);
    EXPECT_EQ(L10n::resolve(QStringLiteral("fr"), QStringLiteral("en"), chinese), Lang::en)
        << "unknown values are ignored";

    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("auto"), chinese), Lang::zh);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("auto"), {QStringLiteral("en-GB"), QStringLiteral("zh")}),
              Lang::en);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("auto"), {}), Lang::zh);
    EXPECT_EQ(L10n::resolve(std::nullopt, QStringLiteral("klingon"), {QStringLiteral("de")}), Lang::en);
}

TEST(L10nFormat, FillsPlaceholdersInOrderAndAnUnknownKeyShowsItself)
{
    EXPECT_EQ(L10n::t("no.such.key"), QStringLiteral("no.such.key"));
    EXPECT_EQ(L10n::format(QStringLiteral("正在下载模型… %d%%"), {42}), QStringLiteral("正在下载模型… 42%"));
    EXPECT_EQ(L10n::format(QStringLiteral("%@ · from %@ · %@"),
                           {QStringLiteral("a"), QStringLiteral("b%@"), QStringLiteral("c")}),
              QStringLiteral("a · from b%@ · c"))
        << "arguments are not formatted again";
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
    L10n::invalidate();
}

}
