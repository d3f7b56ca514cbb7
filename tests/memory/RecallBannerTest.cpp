#include <gtest/gtest.h>

#include "memory/RecallBanner.h"
#include "settings/L10n.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

KnowledgeEntry remembered(const QString& note)
{
    KnowledgeEntry entry;
    entry.action = QStringLiteral("解释");
    entry.resultText = QStringLiteral("the old answer");
    entry.note = note;
    entry.updatedAt = QDateTime(QDate(2025, 3, 1), QTime(8, 30));
    return entry;
}

TEST(RecallBanner, TextsFollowTheKindOfHitTheNoteAndTheLanguage)
{
    ScratchHome home;
    const QString thirty = QStringLiteral("一二三四五六七八九十").repeated(3);
    const KnowledgeEntry noted = remembered(QStringLiteral(" keep this "));
    {
        ScopedEnv zh("SELVANE_UI_LANG", "zh");
        L10n::invalidate();
        EXPECT_EQ(RecallBanner::text({3, remembered(QStringLiteral(" \n ")), false}), QStringLiteral("📌 你查过这个（3 次）· 点击看上次结果"));
        EXPECT_EQ(RecallBanner::text({1, remembered(thirty), false}), QStringLiteral("📌 你查过（1 次）· 笔记：") + thirty);
        EXPECT_EQ(RecallBanner::text({1, remembered(thirty + QStringLiteral("👍🏽")), false}),
                  QStringLiteral("📌 你查过（1 次）· 笔记：") + thirty + QStringLiteral("…"));
        EXPECT_EQ(RecallBanner::text({1, remembered(QString()), true}), QStringLiteral("📌 你问过意思相近的 · 点击看上次结果"));
        EXPECT_EQ(RecallBanner::text({1, noted, true}), QStringLiteral("📌 你问过意思相近的 · 笔记：keep this"));
        EXPECT_EQ(RecallBanner::rememberedAnswer(remembered(QStringLiteral("\t"))), QStringLiteral("the old answer"));
        EXPECT_EQ(RecallBanner::rememberedAnswer(noted), QStringLiteral("the old answer\n\n— 你的笔记：keep this"));
        EXPECT_EQ(RecallBanner::memoryStatus(noted), QStringLiteral("来自你的记忆 · 上次 3月1日 08:30（解释）"));
    }
    ScopedEnv en("SELVANE_UI_LANG", "en");
    L10n::invalidate();
    EXPECT_EQ(RecallBanner::text({12, noted, false}), QStringLiteral("📌 You looked this up (12×) · Note: keep this"));
    EXPECT_EQ(RecallBanner::text({1, remembered(QString()), true}),
              QStringLiteral("📌 You asked something similar · Click to see the last result"));
    EXPECT_EQ(RecallBanner::rememberedAnswer(noted), QStringLiteral("the old answer\n\n— Your note: keep this"));
    EXPECT_EQ(RecallBanner::memoryStatus(noted), QStringLiteral("From your memory · last Mar 1, 08:30 (解释)"));
    L10n::invalidate();
}

}
