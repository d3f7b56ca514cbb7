// Every prompt the library, the profile and the collection export compose, compared byte for byte with
// tests/prompts/golden-prompts.json (one prompt a line). QUILLO_UPDATE_GOLDEN=1 rewrites the file from the library
// instead; review its diff like code.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "core/ActionKey.h"
#include "memory/CollectionExport.h"
#include "profile/ProfileEngine.h"
#include "prompts/PromptLibrary.h"
#include "tests/support/Files.h"

namespace {

const QString goldenFile = QStringLiteral(QUILLO_TESTS_DIR "/prompts/golden-prompts.json");

// Each catalogue's ids, plus an unlisted one that must fall back.
template <class Catalogue>
QStringList idsWithUnlisted(const Catalogue& entries)
{
    QStringList ids;
    for (const auto& entry : entries)
        ids << entry.id;
    return ids << QStringLiteral("unlisted");
}

KnowledgeEntry entry(const QString& action, const QString& source, const QString& result)
{
    KnowledgeEntry entry;
    entry.action = action;
    entry.sourceText = source;
    entry.resultText = result;
    return entry;
}

KnowledgeEntry snippet(const QString& text, const QString& label, const QString& app, QDate day)
{
    KnowledgeEntry saved = entry(KnowledgeEntry::collectionAction, text, {});
    saved.note = label;
    saved.appName = app;
    saved.isCollected = true;
    saved.createdAt = QDateTime(day, QTime(23, 59));
    return saved;
}

QMap<QString, QString> composedPrompts()
{
    QMap<QString, QString> prompts;
    for (const QString& mode : idsWithUnlisted(PromptLibrary::explainModes()))
        prompts.insert(QStringLiteral("explain/") + mode, PromptLibrary::explainSystem(mode));
    // The parts of a rewrite prompt are independent: each scenario once, each creativity once.
    for (const QString& scenario : idsWithUnlisted(PromptLibrary::scenarios()))
        prompts.insert(QStringLiteral("rewrite/%1/moderate").arg(scenario),
                       PromptLibrary::rewriteSystem(scenario, PromptLibrary::Creativity::moderate));
    for (const PromptLibrary::Creativity level : PromptLibrary::creativities())
        prompts.insert(QStringLiteral("rewrite/general/") + PromptLibrary::rawValue(level),
                       PromptLibrary::rewriteSystem(QStringLiteral("general"), level));
    for (const QString& direction : PromptLibrary::translateDirectionIds() + QStringList{QStringLiteral("unlisted")})
        prompts.insert(QStringLiteral("translate/") + direction, PromptLibrary::translateSystem(direction));

    const QString selected = QStringLiteral("  interest \n"); // inserted as captured, untrimmed
    const std::pair<const char*, std::pair<std::optional<QString>, std::optional<QString>>> contexts[] = {
        {"none", {std::nullopt, std::nullopt}},
        {"blank", {QStringLiteral(" \n\t "), QStringLiteral("\r\n")}},
        {"before", {QStringLiteral("\n她喜欢画画。 "), std::nullopt}},
        {"after", {QStringLiteral("   "), QStringLiteral(" 在艺术上与日俱增。\n")}},
        {"both", {QStringLiteral("  她喜欢画画。"), QStringLiteral("在艺术上与日俱增。  ")}},
    };
    // Every kind of context for one action, every action with context on both sides.
    for (const QString& action :
         {ActionKey::explain, ActionKey::translate, ActionKey::rewrite, QStringLiteral("总结")}) {
        for (const auto& [name, context] : contexts) {
            if (action == ActionKey::explain || std::string_view(name) == "both" || std::string_view(name) == "none")
                prompts.insert(QStringLiteral("user/%1/%2").arg(action, QLatin1String(name)),
                               PromptLibrary::contextualUserPrompt(action, selected, context.first, context.second));
        }
    }
    prompts.insert(QStringLiteral("followUp"), PromptLibrary::followUpRevisePrompt(QStringLiteral("再短一点")));
    prompts.insert(QStringLiteral("profile/preamble"),
                   ProfileEngine::injectionPreamble(QStringLiteral("  关注物理\n")));
    prompts.insert(QStringLiteral("profile/system"), ProfileEngine::buildGenerationMessages({}).system);
    // No records; a long source cut and a multi-line result joined, a record without an action;
    // only the thirty newest of many.
    prompts.insert(QStringLiteral("profile/user/none"), ProfileEngine::buildGenerationMessages({}).user);
    prompts.insert(QStringLiteral("profile/user/two"),
                   ProfileEngine::buildGenerationMessages(
                       {entry(QStringLiteral("解释"), QStringLiteral("一二三四五六七八九十").repeated(5),
                              QStringLiteral(" line\none\r\ntwo ")),
                        entry(QString(), QStringLiteral("abcdefghij").repeated(4), QString())})
                       .user);
    QList<KnowledgeEntry> many;
    for (int i = 1; i <= 35; ++i)
        many.append(entry(QStringLiteral("翻译"), QStringLiteral("text %1").arg(i), QString()));
    prompts.insert(QStringLiteral("profile/user/many"), ProfileEngine::buildGenerationMessages(many).user);

    // Snippets numbered with their source, app and date; blank labels left out, long texts whole.
    const QList<KnowledgeEntry> snippets = {
        snippet(QStringLiteral("  first saved\n"), QStringLiteral("划词"), QStringLiteral("Mousepad"), {2025, 3, 1}),
        snippet(QStringLiteral("长").repeated(500), QStringLiteral(" 截图 "), QStringLiteral(" \t"), {2025, 11, 23}),
        snippet(QStringLiteral("no label"), QString(), QStringLiteral("Firefox"), {2024, 1, 5}),
    };
    for (const bool english : {false, true}) {
        const QString lang = QLatin1String(english ? "en" : "zh");
        prompts.insert(QStringLiteral("collection/system/") + lang, CollectionExport::systemPrompt(english));
        prompts.insert(QStringLiteral("collection/user/") + lang, CollectionExport::userPrompt(snippets, english));
    }
    prompts.insert(QStringLiteral("collection/user/none"), CollectionExport::userPrompt({}, false));
    return prompts;
}

TEST(PromptLibrary, EveryComposedPromptMatchesItsGoldenText)
{
    const QMap<QString, QString> prompts = composedPrompts();
    if (qEnvironmentVariableIntValue("QUILLO_UPDATE_GOLDEN") == 1) {
        QByteArray lines = "{\n";
        for (auto it = prompts.cbegin(); it != prompts.cend(); ++it) {
            const QByteArray pair = QJsonDocument(QJsonObject{{it.key(), it.value()}}).toJson(QJsonDocument::Compact);
            lines += "  " + pair.mid(1, pair.size() - 2) + (std::next(it) == prompts.cend() ? "\n" : ",\n");
        }
        ASSERT_TRUE(writeFile(goldenFile, lines + "}\n"));
    }
    const QJsonObject golden = QJsonDocument::fromJson(readFile(goldenFile)).object();
    EXPECT_EQ(golden.keys(), QStringList(prompts.keys()));
    for (auto it = prompts.cbegin(); it != prompts.cend(); ++it)
        EXPECT_EQ(it.value(), golden.value(it.key()).toString()) << it.key().toStdString();
}

}
