#include <gtest/gtest.h>

#include "memory/RecallBanner.h"
#include "settings/L10n.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

// The interface texts come from the shared table; a build whose table lacks a key cannot show it.
#define REQUIRE_TEXT(key)                                                                            \
    if (L10n::t(key) == QStringLiteral(key))                                                         \
    GTEST_SKIP() << key " is not in the text table yet"

class RecallBannerTest : public ::testing::TestWithParam<const char*> {
protected:
    ScratchHome home;
    ScopedEnv lang{"SELVANE_UI_LANG", GetParam()};
    void SetUp() override { L10n::invalidate(); }
    bool english() const { return QByteArray(GetParam()) == "en"; }
};

KnowledgeStore::RecallHit hit(int count, bool semantic, const QString& note)
{
    KnowledgeEntry entry;
    entry.action = QStringLiteral("解释");
    entry.resultText = QStringLiteral("the old answer");
    entry.note = note;
    entry.updatedAt = QDateTime(QDate(2025, 3, 1), QTime(8, 30));
    return {count, entry, semantic};
}

TEST_P(RecallBannerTest, ExactHitsShowTheCountAndATrimmedShortenedNote)
{
    REQUIRE_TEXT("popup.recall.noNote");
    REQUIRE_TEXT("popup.recall.withNote");
    const QString thirty = QStringLiteral("一二三四五六七八九十").repeated(3);
    if (english()) {
        EXPECT_EQ(RecallBanner::text(hit(3, false, QStringLiteral(" \n "))),
                  QStringLiteral("📌 You looked this up (3×) · Click to see the last result"));
        EXPECT_EQ(RecallBanner::text(hit(12, false, QStringLiteral("  my note "))),
                  QStringLiteral("📌 You looked this up (12×) · Note: my note"));
    } else {
        EXPECT_EQ(RecallBanner::text(hit(3, false, QString())), QStringLiteral("📌 你查过这个（3 次）· 点击看上次结果"));
        EXPECT_EQ(RecallBanner::text(hit(1, false, thirty)), QStringLiteral("📌 你查过（1 次）· 笔记：") + thirty);
        EXPECT_EQ(RecallBanner::text(hit(1, false, thirty + QStringLiteral("👍🏽"))),
                  QStringLiteral("📌 你查过（1 次）· 笔记：") + thirty + QStringLiteral("…"));
    }
}

TEST_P(RecallBannerTest, SemanticHitsSaySomethingSimilarWasAsked)
{
    REQUIRE_TEXT("popup.recall.semanticNoNote");
    REQUIRE_TEXT("popup.recall.semanticWithNote");
    const QString expectedPlain = english() ? QStringLiteral("📌 You asked something similar · Click to see the last result")
                                            : QStringLiteral("📌 你问过意思相近的 · 点击看上次结果");
    const QString expectedNote = english() ? QStringLiteral("📌 You asked something similar · Note: n")
                                           : QStringLiteral("📌 你问过意思相近的 · 笔记：n");
    EXPECT_EQ(RecallBanner::text(hit(1, true, QString())), expectedPlain);
    EXPECT_EQ(RecallBanner::text(hit(1, true, QStringLiteral(" n "))), expectedNote);
}

TEST_P(RecallBannerTest, TheRememberedAnswerCarriesTheNoteAndTheStatusTheDate)
{
    REQUIRE_TEXT("popup.recall.noteTail");
    REQUIRE_TEXT("popup.recall.fromMemory");
    EXPECT_EQ(RecallBanner::rememberedAnswer(hit(1, false, QStringLiteral("  \t")).latest), QStringLiteral("the old answer"));
    const KnowledgeEntry noted = hit(1, false, QStringLiteral(" keep this ")).latest;
    if (english()) {
        EXPECT_EQ(RecallBanner::rememberedAnswer(noted), QStringLiteral("the old answer\n\n— Your note: keep this"));
        EXPECT_EQ(RecallBanner::memoryStatus(noted), QStringLiteral("From your memory · last Mar 1, 08:30 (解释)"));
    } else {
        EXPECT_EQ(RecallBanner::rememberedAnswer(noted), QStringLiteral("the old answer\n\n— 你的笔记：keep this"));
        EXPECT_EQ(RecallBanner::memoryStatus(noted), QStringLiteral("来自你的记忆 · 上次 3月1日 08:30（解释）"));
    }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, RecallBannerTest, ::testing::Values("zh", "en"));

}
