#include <gtest/gtest.h>

#include "memory/CollectionExport.h"

namespace {

KnowledgeEntry snippet(const QString& text, const QString& source, const QString& app, QDate day)
{
    KnowledgeEntry entry;
    entry.action = KnowledgeEntry::collectionAction;
    entry.isCollected = true;
    entry.sourceText = text;
    entry.note = source;
    entry.appName = app;
    entry.createdAt = QDateTime(day, QTime(23, 59));
    return entry;
}

TEST(CollectionExport, UserPromptNumbersEachSnippetWithItsSourceAppAndDate)
{
    const QString longText = QStringLiteral("长").repeated(500);
    const QList<KnowledgeEntry> entries = {
        snippet(QStringLiteral("  first saved\n"), QStringLiteral("划词"), QStringLiteral("Mousepad"), QDate(2025, 3, 1)),
        snippet(longText, QStringLiteral(" 截图 "), QStringLiteral(" \t"), QDate(2025, 11, 23)),
        snippet(QStringLiteral("no label"), QString(), QStringLiteral("Firefox"), QDate(2024, 1, 5)),
    };
    EXPECT_EQ(CollectionExport::userPrompt(entries, false),
              QStringLiteral("下面是我收藏的零散内容。请严格按规则，把它们按主题归类，并给每类做简短归纳。\n\n"
                             "1. [划词 · Mousepad · 2025年3月1日] first saved\n"
                             "2. [截图 · 2025年11月23日] ") + longText
                  + QStringLiteral("\n3. [Firefox · 2024年1月5日] no label"));
    EXPECT_EQ(CollectionExport::userPrompt(entries.mid(0, 1), true),
              QStringLiteral("Here are my saved snippets. Group them by theme and summarize each group, following the "
                             "rules strictly.\n\n1. [划词 · Mousepad · 2025-03-01] first saved"));
}

TEST(CollectionExport, AnEmptyCollectionGivesTheRequestLineAlone)
{
    EXPECT_EQ(CollectionExport::userPrompt({}, false),
              QStringLiteral("下面是我收藏的零散内容。请严格按规则，把它们按主题归类，并给每类做简短归纳。\n"));
    EXPECT_EQ(CollectionExport::userPrompt({}, true),
              QStringLiteral("Here are my saved snippets. Group them by theme and summarize each group, following the rules strictly.\n"));
}

}
