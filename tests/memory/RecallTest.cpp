#include <gtest/gtest.h>

#include <QSet>

#include "memory/KnowledgeStore.h"
#include "memory/RecallBanner.h"
#include "memory/SemanticRecall.h"
#include "settings/L10n.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

// An embedding service whose models and vectors the test decides; it records what it was asked.
class ScriptedEmbedder final : public SentenceEmbedder {
public:
    bool chineseModel = true, englishModel = true;
    QHash<QString, Embedding> vectors; // by trimmed text; other texts get no vector
    int modelLookups = 0;
    QStringList requested;

    // A stopped look-up finds nothing, as a real one would.
    bool hasModel(Language language, std::stop_token stop) override
    {
        ++modelLookups;
        return !stop.stop_requested() && (language == Language::simplifiedChinese ? chineseModel : englishModel);
    }
    std::optional<Embedding> vector(Language, const QString& text, std::stop_token) override
    {
        requested.append(text);
        return vectors.contains(text) ? std::optional<Embedding>(vectors.value(text)) : std::nullopt;
    }
};

class RecallTest : public ::testing::Test {
protected:
    ScratchHome home;
    const QString file = home.dataDir() + QStringLiteral("/knowledge.json");
    std::shared_ptr<ScriptedEmbedder> embedder = std::make_shared<ScriptedEmbedder>();
    std::chrono::steady_clock::time_point now{};
    SemanticRecall semantic{embedder, [this] { return now; }};
    KnowledgeStore store{file, semantic};

    QString lookup(const QString& source) { return store.add("解释", source, "answer", {}).value_or(QString()); }
};

TEST_F(RecallTest, ExactRecallMatchesNormalisedTextsBothWaysButNeverTooShortOnes)
{
    embedder->chineseModel = embedder->englishModel = false;
    const QString id = lookup(QStringLiteral("  Quantum 熵增  "));
    lookup(QStringLiteral("熵"));
    for (const char* selection :
         {"quantum 熵增", "Quantum   熵增", "QUANTUM\n\t熵增", "tum 熵", "Quantum 熵增的现象"}) {
        const auto hit = store.recall(QString::fromUtf8(selection));
        EXPECT_TRUE(hit && hit->latest.id == id && !hit->semantic && hit->count == 1)
            << selection << ": one hit, as a one-character entry is not hit by a text containing it";
    }
    for (const char* selection : {"熵", " \n\t ", "👩‍👩‍👧"})
        EXPECT_FALSE(store.recall(QString::fromUtf8(selection))) << selection;
    EXPECT_TRUE(embedder->requested.isEmpty());
}

TEST_F(RecallTest, CountsAllMatchesAndShowsTheLatestUnlessExcluded)
{
    ASSERT_TRUE(writeFile(
        file, R"([{"id": "EARLY", "sourceText": "entropy", "resultText": "first", "updatedAt": "2025-01-01T00:00:00Z"},
        {"id": "SNIPPET", "sourceText": "entropy", "isCollected": true, "action": "收藏", "updatedAt": "2025-09-01T00:00:00Z"},
        {"id": "LATE", "sourceText": "Entropy", "resultText": "second", "updatedAt": "2025-03-01T00:00:00Z"},
        {"id": "TIE", "sourceText": "entropy!", "resultText": "tie", "updatedAt": "2025-03-01T00:00:00Z"}])"));
    store.reloadFromDisk();
    const auto hit = store.recall(QStringLiteral("ENTROPY"));
    EXPECT_TRUE(hit && hit->count == 3 && hit->latest.id == QStringLiteral("LATE"))
        << "collected snippets are never recalled; on equal dates the one stored first wins";
    const auto withoutLate = store.recall(QStringLiteral("entropy"), QStringLiteral("LATE"));
    EXPECT_TRUE(withoutLate && withoutLate->count == 2 && withoutLate->latest.id == QStringLiteral("TIE"));
}

TEST_F(RecallTest, SemanticRecallTakesTheClosestEntryAtOrAboveTheThreshold)
{
    // Cosines with the query: 0.8, 0.6 and 0.8 again, stored later.
    embedder->vectors = {{QStringLiteral("what grows in a closed system"), {1, 0, 0}},
                         {QStringLiteral("exactly at the threshold"), {4, 3, 0}},
                         {QStringLiteral("just below the threshold"), {3, 4, 0}},
                         {QStringLiteral("also at the threshold"), {4, 0, 3}}};
    lookup(QStringLiteral("just below the threshold"));
    const QString first = lookup(QStringLiteral("exactly at the threshold"));
    const QString later = lookup(QStringLiteral("also at the threshold"));

    const auto hit = store.recall(QStringLiteral("what grows in a closed system"));
    EXPECT_TRUE(hit && hit->semantic && hit->count == 1 && hit->latest.id == first)
        << "equal scores: the earlier candidate wins";
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(store.recall(QStringLiteral("what grows in a closed system"), {}, stop.get_token()));

    ASSERT_TRUE(store.remove(first) && store.remove(later));
    EXPECT_FALSE(store.recall(QStringLiteral("what grows in a closed system"))) << "0.6 is below the threshold";
}

TEST_F(RecallTest, ChineseQueriesOnlyEmbedEntriesSharingAHanCharacter)
{
    embedder->vectors = {{QStringLiteral("熵是什么意思"), {1, 0}},
                         {QStringLiteral("热力学第二定律讲熵"), {1, 0.1}},
                         {QStringLiteral("今天天气很好"), {1, 0}},
                         {QStringLiteral("entropy in english"), {1, 0}}};
    const QString related = lookup(QStringLiteral("热力学第二定律讲熵"));
    lookup(QStringLiteral("今天天气很好"));
    lookup(QStringLiteral("entropy in english"));
    ASSERT_TRUE(store.addCollection(QStringLiteral("熵的收藏"), QStringLiteral("划词"), QString()));

    const auto hit = store.recall(QStringLiteral("熵是什么意思"));
    EXPECT_TRUE(hit && hit->latest.id == related);
    EXPECT_EQ(embedder->requested, QStringList({"熵是什么意思", "热力学第二定律讲熵"}))
        << "entries without a shared Han character, and snippets, are never embedded";
    store.recall(QStringLiteral("熵是什么意思"));
    EXPECT_EQ(embedder->requested.size(), 3) << "the entry's vector is cached; only the query is embedded again";
}

TEST_F(RecallTest, AMissingModelIsLookedUpAgainAfterAMinuteAndAfterForgetting)
{
    embedder->chineseModel = embedder->englishModel = false;
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(semantic.isAvailable());
    EXPECT_EQ(embedder->modelLookups, 2) << "each language once";
    std::stop_source stop;
    stop.request_stop();
    now += SemanticRecall::recheckMissingModelAfter;
    embedder->chineseModel = true;
    EXPECT_FALSE(semantic.zhAvailable(stop.get_token())) << "a stopped look-up decides nothing";
    EXPECT_TRUE(semantic.zhAvailable()) << "the service started since";
    EXPECT_FALSE(semantic.embed(QStringLiteral("english"))) << "still no English model";

    embedder->vectors = {{QStringLiteral("中文"), {1}}};
    embedder->chineseModel = false;
    now += 2 * SemanticRecall::recheckMissingModelAfter;
    EXPECT_TRUE(semantic.embed(QStringLiteral("  中文\n"))) << "a model found is kept";
    EXPECT_EQ(embedder->requested, QStringList({"中文"})) << "texts are trimmed before they are embedded";
    const int lookups = embedder->modelLookups;
    semantic.forgetAvailability();
    EXPECT_TRUE(!semantic.isAvailable() && embedder->modelLookups == lookups + 2);
    EXPECT_FALSE(semantic.similarity(QStringLiteral(" "), QStringLiteral("中文")));
}

// The cosine's edge cases and text without CJK are checked by --selftest-semantic (MemoryModesTest).
TEST(SemanticRecallMath, CjkIsIdeographsAndKana)
{
    const std::pair<const char*, bool> cases[] = {{"a熵", true},    {"カタカナ", true},   {"ひらがな", true},
                                                  {"\u3400", true}, {"\uF900", true},     {"한국어", false},
                                                  {"，。", false},  {"\U00020000", false}};
    for (const auto& [text, cjk] : cases)
        EXPECT_EQ(SemanticRecall::containsCJK(QString::fromUtf8(text)), cjk) << text;
    EXPECT_EQ(SemanticRecall::hanSet(QStringLiteral("熵增 x 熵カ")), QSet<QString>({"熵", "增"}));
}

TEST(RecallBanner, TextsFollowTheKindOfHitTheNoteAndTheLanguage)
{
    ScratchHome home;
    const QString thirty = QStringLiteral("一二三四五六七八九十").repeated(3);
    KnowledgeEntry noted;
    noted.action = QStringLiteral("解释");
    noted.resultText = QStringLiteral("the old answer");
    noted.note = QStringLiteral(" keep this ");
    noted.updatedAt = QDateTime(QDate(2025, 3, 1), QTime(8, 30));
    const auto banner = [&](int count, const QString& note, bool semantic) {
        KnowledgeEntry entry = noted;
        entry.note = note;
        return RecallBanner::text({count, entry, semantic});
    };
    {
        ScopedEnv zh("SELVANE_UI_LANG", "zh");
        L10n::invalidate();
        EXPECT_EQ(banner(3, QStringLiteral(" \n "), false), QStringLiteral("📌 你查过这个（3 次）· 点击看上次结果"));
        EXPECT_EQ(banner(1, thirty, false), QStringLiteral("📌 你查过（1 次）· 笔记：") + thirty);
        EXPECT_EQ(banner(1, thirty + "👍🏽", false), "📌 你查过（1 次）· 笔记：" + thirty + "…");
        EXPECT_EQ(banner(1, QString(), true), QStringLiteral("📌 你问过意思相近的 · 点击看上次结果"));
        EXPECT_EQ(banner(1, noted.note, true), QStringLiteral("📌 你问过意思相近的 · 笔记：keep this"));
        EXPECT_EQ(RecallBanner::memoryStatus(noted), QStringLiteral("来自你的记忆 · 上次 3月1日 08:30（解释）"));
    }
    ScopedEnv en("SELVANE_UI_LANG", "en");
    L10n::invalidate();
    EXPECT_EQ(RecallBanner::text({12, noted, false}), QStringLiteral("📌 You looked this up (12×) · Note: keep this"));
    EXPECT_EQ(RecallBanner::rememberedAnswer(noted), QStringLiteral("the old answer\n\n— Your note: keep this"));
    EXPECT_EQ(RecallBanner::memoryStatus(noted), QStringLiteral("From your memory · last Mar 1, 08:30 (解释)"));
    L10n::invalidate();
}

}
