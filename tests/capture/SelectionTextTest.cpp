#include <gtest/gtest.h>

#include "capture/ContextWindow.h"
#include "popup/SelectionMarks.h"
#include "tests/support/Printers.h"
#include "tests/support/RunProgram.h"

namespace {

// The self-check's cases (sentences around, either end, untrusted ranges, long texts) are not repeated below.
TEST(ContextWindow, TheSelfCheckPasses)
{
    const ProgramResult result = runProgram(quilloBinary(), {QStringLiteral("--selftest-context")});
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString();
    EXPECT_TRUE(result.out.endsWith("\nCONTEXT_SELFTEST_PASS\n") && !result.out.contains("FAIL")) << result.out.toStdString();
}

using Context = SelectionCapture::Context;

std::optional<Context> contextOf(const QString& fullText, qsizetype location, qsizetype length)
{
    return SelectionCapture::contextWindow(fullText, location, length, fullText.mid(location, length));
}

TEST(ContextWindow, RangeMayDifferFromTheSelectionByFourUnitsAndNeverWrapsAround)
{
    const QString text = QStringLiteral("前文。这才是真选区。后文。");
    EXPECT_TRUE(SelectionCapture::contextWindow(text, 3, 6, QStringLiteral("这才")));
    EXPECT_FALSE(SelectionCapture::contextWindow(text, 3, 6, QStringLiteral("这")));
    EXPECT_TRUE(SelectionCapture::contextWindow(text, 3, 2, QStringLiteral("这才是真选区")));
    EXPECT_FALSE(SelectionCapture::contextWindow(text, 3, std::numeric_limits<qsizetype>::max(), QString()));
    EXPECT_TRUE(SelectionCapture::contextWindow(text, text.size(), 0, QString())) << "an empty selection at the very end";
}

TEST(ContextWindow, CutSidesSnapToTheCurrentSentence)
{
    const QString filler = QStringLiteral("很长的一句话没有停顿").repeated(50); // 500 units, no boundary
    const QString sel = QStringLiteral("选中");
    const struct {
        const char* name;
        QString text;
        QString before;
        QString after;
    } cases[] = {
        {"before: the current sentence only", filler + QStringLiteral("。上一句\n这一句的") + sel, QStringLiteral("这一句的"), QString()},
        {"before: exactly 400 units, no snapping", QStringLiteral("第一句。") + filler.left(396) + sel,
         QStringLiteral("第一句。") + filler.left(396), QString()},
        {"before: no boundary within reach", filler + sel, filler.right(400), QString()},
        {"after: to the end of the sentence", sel + QStringLiteral("还没完！下一句？") + filler, QString(), QStringLiteral("还没完！")},
        {"after: only the full stop that follows", QStringLiteral("整句。") + sel + QStringLiteral("；下一句？") + filler,
         QStringLiteral("整句。"), QStringLiteral("；")},
        {"after: a line feed ends it and is trimmed", sel + QStringLiteral("\n下一段。") + filler, QString(), QString()},
        {"after: no boundary within reach", sel + filler, QString(), filler.left(400)},
    };
    for (const auto& c : cases) {
        const std::optional<Context> context = contextOf(c.text, c.text.indexOf(sel), sel.size());
        ASSERT_TRUE(context) << c.name;
        EXPECT_EQ(context->before, c.before) << c.name;
        EXPECT_EQ(context->after, c.after) << c.name;
    }
}

// With one BMP character among astral ones and no sentence boundary, both 400-unit cuts land
// between the halves of a pair; the edges move inwards so the sides hold whole characters.
TEST(ContextWindow, CutsNeverSplitASurrogatePair)
{
    const QString emoji = QStringLiteral("😀");
    const QString han = QStringLiteral("𠀀"); // CJK extension B
    const QString left = emoji.repeated(300) + QLatin1Char('x') + han.repeated(100);
    const QString text = left + emoji + han.repeated(100) + QLatin1Char('y') + emoji.repeated(300);

    const std::optional<Context> context = contextOf(text, left.size(), emoji.size());
    ASSERT_TRUE(context);
    EXPECT_EQ(context->before, emoji.repeated(99) + QLatin1Char('x') + han.repeated(100));
    EXPECT_EQ(context->after, han.repeated(100) + QLatin1Char('y') + emoji.repeated(99));
}

TEST(ContextWindow, TotalCapCountsCharactersAndKeepsTheTextNextToTheSelection)
{
    const struct {
        Context context;
        qsizetype limit;
        Context expected;
    } cases[] = {
        {{QStringLiteral("abcdef"), QStringLiteral("xyz")}, 5, {QStringLiteral("ef"), QStringLiteral("xyz")}},
        {{QStringLiteral("ab"), QStringLiteral("uvwxyz")}, 5, {QStringLiteral("ab"), QStringLiteral("uvw")}},
        {{QStringLiteral("abc"), QStringLiteral("xyz")}, 2, {QString(), QStringLiteral("xy")}},
        // A family emoji is one character of eight units, an e with a combining accent one of two.
        {{QStringLiteral("👨‍👩‍👧e\u0301👨‍👩‍👧"), QStringLiteral("e\u0301z")}, 5, {QStringLiteral("👨‍👩‍👧e\u0301👨‍👩‍👧"), QStringLiteral("e\u0301z")}},
        {{QStringLiteral("👨‍👩‍👧e\u0301👨‍👩‍👧"), QStringLiteral("e\u0301z")}, 4, {QStringLiteral("e\u0301👨‍👩‍👧"), QStringLiteral("e\u0301z")}},
    };
    for (auto c : cases) {
        capContextCharacters(c.context, c.limit);
        EXPECT_EQ(c.context.before, c.expected.before);
        EXPECT_EQ(c.context.after, c.expected.after);
    }
}

// Beyond the self-check: nested layers with inner spaces, unbalanced layers, titles at the edges, only marks.
TEST(SelectionMarks, OnlyMarksAroundTheWholeAnswerAreRemoved)
{
    const struct {
        QString input;
        QString expected;
    } cases[] = {
        {QStringLiteral("\n《 《 兴趣 》 》 "), QStringLiteral("兴趣")},
        {QStringLiteral("《《左边多一层》"), QStringLiteral("左边多一层")},
        {QStringLiteral("《红楼梦》和《西游记》"), QStringLiteral("《红楼梦》和《西游记》")},
        {QStringLiteral("《《红楼梦》和《西游记》》"), QStringLiteral("《红楼梦》和《西游记》")},
        {QStringLiteral("《红楼梦》是名著"), QStringLiteral("《红楼梦》是名著")},
        {QStringLiteral("  普通的一句话 \n"), QStringLiteral("普通的一句话")},
        {QStringLiteral("《"), QString()},
        {QStringLiteral("》"), QString()},
        {QStringLiteral("《》"), QString()},
        {QString(), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(stripSelectionMarks(c.input), c.expected) << c.input.toStdString();
}

}
