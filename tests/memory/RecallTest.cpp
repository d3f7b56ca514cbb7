#include <gtest/gtest.h>

#include <QSet>

#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "tests/memory/ScriptedEmbedder.h"
#include "tests/support/Files.h"
#include "tests/support/ScratchHome.h"

namespace {

class RecallTest : public ::testing::Test {
protected:
    ScratchHome home;
    const QString file = home.dataDir() + QStringLiteral("/knowledge.json");
    std::shared_ptr<ScriptedEmbedder> embedder = std::make_shared<ScriptedEmbedder>();
    SemanticRecall semantic{embedder};

    KnowledgeStore& store()
    {
        if (!m_store)
            m_store = std::make_unique<KnowledgeStore>(file, semantic);
        return *m_store;
    }

    QString lookup(const QString& source, const QString& answer = QStringLiteral("answer"))
    {
        return store().add(QStringLiteral("解释"), source, answer, QString());
    }

private:
    std::unique_ptr<KnowledgeStore> m_store;
};

TEST_F(RecallTest, ExactRecallMatchesNormalisedEqualityAndContainmentBothWays)
{
    EXPECT_FALSE(store().recall(QStringLiteral("anything at all")));
    const QString id = lookup(QStringLiteral("  Quantum 熵增  "));
    const qsizetype asked = embedder->requested().size();
    for (const char* selection : {"quantum 熵增", "Quantum   熵增", "QUANTUM\n\t熵增", "熵增", "tum 熵", "Quantum 熵增的现象"}) {
        SCOPED_TRACE(selection);
        const auto hit = store().recall(QString::fromUtf8(selection));
        ASSERT_TRUE(hit);
        EXPECT_EQ(hit->count, 1);
        EXPECT_EQ(hit->latest.id, id);
        EXPECT_FALSE(hit->semantic);
    }
    EXPECT_EQ(embedder->requested().size(), asked) << "an exact hit never asks for embeddings";
}

TEST_F(RecallTest, TooShortTextsAreNeverRecalled)
{
    embedder->chineseModel = embedder->englishModel = false;
    lookup(QStringLiteral("熵"));
    lookup(QStringLiteral("熵增定律"));
    EXPECT_FALSE(store().recall(QStringLiteral("熵")));
    EXPECT_FALSE(store().recall(QStringLiteral(" \n\t ")));
    EXPECT_FALSE(store().recall(QStringLiteral("👩‍👩‍👧")) ) << "one emoji is one character";

    store().clearAll();
    lookup(QStringLiteral("熵"));
    EXPECT_FALSE(store().recall(QStringLiteral("熵增"))) << "a one-character entry is not hit by a text containing it";
}

TEST_F(RecallTest, CountsAllMatchesAndShowsTheLatestUnlessExcluded)
{
    ASSERT_TRUE(writeFile(file, R"([
        {"id": "EARLY", "sourceText": "entropy", "resultText": "first", "updatedAt": "2025-01-01T00:00:00Z"},
        {"id": "SNIPPET", "sourceText": "entropy", "isCollected": true, "action": "收藏", "updatedAt": "2025-09-01T00:00:00Z"},
        {"id": "LATE", "sourceText": "Entropy", "resultText": "second", "updatedAt": "2025-03-01T00:00:00Z"},
        {"id": "TIE", "sourceText": "entropy!", "resultText": "tie", "updatedAt": "2025-03-01T00:00:00Z"}
    ])"));
    const auto hit = store().recall(QStringLiteral("ENTROPY"));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->count, 3) << "collected snippets are never recalled";
    EXPECT_EQ(hit->latest.id, QStringLiteral("LATE")) << "on equal dates the one stored first wins";

    const auto withoutLate = store().recall(QStringLiteral("entropy"), QStringLiteral("LATE"));
    ASSERT_TRUE(withoutLate);
    EXPECT_EQ(withoutLate->count, 2);
    EXPECT_EQ(withoutLate->latest.id, QStringLiteral("TIE"));

    store().remove(QStringLiteral("LATE"));
    store().remove(QStringLiteral("TIE"));
    embedder->chineseModel = embedder->englishModel = false;
    EXPECT_FALSE(store().recall(QStringLiteral("entropy"), QStringLiteral("EARLY")));
}

TEST_F(RecallTest, SemanticRecallTakesTheClosestEntryAtOrAboveTheThreshold)
{
    embedder->vectors = {
        {QStringLiteral("what grows in a closed system"), {1, 0, 0}},
        {QStringLiteral("exactly at the threshold"), {4, 3, 0}},   // cosine 0.8
        {QStringLiteral("just below the threshold"), {3, 4, 0}},   // cosine 0.6
        {QStringLiteral("also at the threshold"), {4, 0, 3}},      // cosine 0.8, stored later
        {QStringLiteral("the weather is fine"), {0, 0, 1}},
    };
    lookup(QStringLiteral("just below the threshold"));
    const QString first = lookup(QStringLiteral("exactly at the threshold"));
    lookup(QStringLiteral("also at the threshold"));
    lookup(QStringLiteral("the weather is fine"));

    const auto hit = store().recall(QStringLiteral("what grows in a closed system"));
    ASSERT_TRUE(hit);
    EXPECT_TRUE(hit->semantic);
    EXPECT_EQ(hit->count, 1);
    EXPECT_EQ(hit->latest.id, first) << "equal scores: the earlier candidate wins";

    store().remove(first);
    store().remove(store().recall(QStringLiteral("what grows in a closed system"))->latest.id);
    EXPECT_FALSE(store().recall(QStringLiteral("what grows in a closed system"))) << "0.6 is below the threshold";
}

TEST_F(RecallTest, ChineseQueriesOnlyEmbedEntriesSharingAHanCharacter)
{
    embedder->vectors = {
        {QStringLiteral("熵是什么意思"), {1, 0}},
        {QStringLiteral("热力学第二定律讲熵"), {1, 0.1}},
        {QStringLiteral("今天天气很好"), {1, 0}},
        {QStringLiteral("entropy in english"), {1, 0}},
    };
    const QString related = lookup(QStringLiteral("热力学第二定律讲熵"));
    lookup(QStringLiteral("今天天气很好"));
    lookup(QStringLiteral("entropy in english"));
    store().addCollection(QStringLiteral("熵的收藏"), QStringLiteral("划词"), QString());

    const auto hit = store().recall(QStringLiteral("熵是什么意思"));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->latest.id, related);
    const QStringList asked = embedder->requested();
    EXPECT_EQ(asked, QStringList({"熵是什么意思", "热力学第二定律讲熵"}))
        << "entries without a shared Han character, and snippets, are never embedded";

    store().recall(QStringLiteral("熵是什么意思"));
    EXPECT_EQ(embedder->requested().size(), 3) << "the entry's vector is cached; only the query is embedded again";
}

TEST_F(RecallTest, WithoutAModelExactRecallStillWorksAndTheModelIsLookedUpOnce)
{
    embedder->chineseModel = embedder->englishModel = false;
    lookup(QStringLiteral("Mixed Case Text"));
    const auto hit = store().recall(QStringLiteral("mixed CASE text"));
    ASSERT_TRUE(hit);
    EXPECT_FALSE(hit->semantic);
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(store().recall(QStringLiteral("something unrelated")));
    EXPECT_FALSE(semantic.isAvailable());
    EXPECT_EQ(embedder->modelLookups.load(), 2) << "each language's model is looked up once";
    EXPECT_TRUE(embedder->requested().isEmpty());
}

TEST_F(RecallTest, OnlyTheChineseModelLeavesEnglishTextsUnembedded)
{
    embedder->englishModel = false;
    embedder->vectors = {{QStringLiteral("english"), {1}}, {QStringLiteral("中文"), {1}}};
    EXPECT_TRUE(semantic.isAvailable());
    EXPECT_TRUE(semantic.zhAvailable());
    EXPECT_FALSE(semantic.embed(QStringLiteral("english")));
    EXPECT_TRUE(semantic.embed(QStringLiteral("  中文\n")));
    EXPECT_EQ(embedder->requested(), QStringList({"中文"})) << "texts are trimmed before they are embedded";
    EXPECT_FALSE(semantic.similarity(QStringLiteral("中文"), QStringLiteral("english")));
    EXPECT_FALSE(semantic.similarity(QStringLiteral(" "), QStringLiteral("中文")));
    EXPECT_DOUBLE_EQ(*semantic.similarity(QStringLiteral("中文"), QStringLiteral("中文")), 1.0);
    EXPECT_FALSE(semantic.embed(QString()));
}

TEST_F(RecallTest, AStopRequestEndsTheSemanticLayerWithoutAHit)
{
    embedder->vectors = {{QStringLiteral("query text"), {1}}, {QStringLiteral("stored text"), {1}}};
    lookup(QStringLiteral("stored text"));
    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(store().recall(QStringLiteral("query text"), {}, stop.get_token()));
    EXPECT_TRUE(store().recall(QStringLiteral("query text")));
}

TEST(SemanticRecallMath, CosineIsSymmetricAndNeverDividesByZero)
{
    struct Case {
        Embedding a;
        Embedding b;
        double expected;
    };
    const QList<Case> cases = {
        {{0.3, -1.2, 2.5}, {0.3, -1.2, 2.5}, 1.0},
        {{1, 0}, {0, 1}, 0.0},
        {{1, 2}, {-1, -2}, -1.0},
        {{}, {}, 0.0},
        {{1, 2}, {1, 2, 3}, 0.0},
        {{0, 0}, {1, 1}, 0.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(SemanticRecall::cosine(c.a, c.b), c.expected, 1e-12);
        EXPECT_EQ(SemanticRecall::cosine(c.a, c.b), SemanticRecall::cosine(c.b, c.a));
    }
}

TEST(SemanticRecallMath, CjkCoversIdeographsAndKanaOnly)
{
    const QList<std::pair<const char*, bool>> cases = {
        {"", false}, {"plain English", false}, {"a熵", true}, {"カタカナ", true}, {"ひらがな", true},
        {"\u3400", true}, {"\uF900", true}, {"한국어", false}, {"\U00020000", false}, {"，。", false},
    };
    for (const auto& [text, cjk] : cases)
        EXPECT_EQ(SemanticRecall::containsCJK(QString::fromUtf8(text)), cjk) << text;
    EXPECT_EQ(SemanticRecall::hanSet(QStringLiteral("熵增 x 熵カ")), QSet<QString>({"熵", "增"}));
}

}
