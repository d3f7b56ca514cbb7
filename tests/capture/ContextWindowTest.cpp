#include <gtest/gtest.h>

#include "capture/ContextWindow.h"
#include "tests/support/Printers.h"

// The cases the self-check runs (sentences around the selection, selection at either end or
// the whole text, the four untrusted ranges) are covered by its own test.
namespace {

using Context = SelectionCapture::Context;

std::optional<Context> contextOf(const QString& fullText, qsizetype location, qsizetype length)
{
    return SelectionCapture::contextWindow(fullText, location, length, fullText.mid(location, length));
}

// No half of a surrogate pair and no replacement character.
bool wholeCharacters(const QString& text)
{
    return text.isValidUtf16() && !text.contains(QChar::ReplacementCharacter);
}

TEST(ContextWindow, RangeMayDifferFromTheSelectionByFourUnits)
{
    const QString text = QStringLiteral("前文。这才是真选区。后文。");
    EXPECT_TRUE(SelectionCapture::contextWindow(text, 3, 6, QStringLiteral("这才")));
    EXPECT_FALSE(SelectionCapture::contextWindow(text, 3, 6, QStringLiteral("这")));
    EXPECT_TRUE(SelectionCapture::contextWindow(text, 3, 2, QStringLiteral("这才是真选区")));
    EXPECT_FALSE(SelectionCapture::contextWindow(text, 3, 1, QStringLiteral("这才是真选区")));
    EXPECT_FALSE(SelectionCapture::contextWindow(text, 3, -1, QString()));
    EXPECT_FALSE(SelectionCapture::contextWindow(text, 3, std::numeric_limits<qsizetype>::max(), QString()))
        << "a huge length must not wrap around";
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
        {"before: selection starts a sentence", filler + QStringLiteral("。") + sel, QString(), QString()},
        {"before: exactly 400 units, no snapping", QStringLiteral("第一句。") + filler.left(396) + sel,
         QStringLiteral("第一句。") + filler.left(396), QString()},
        {"before: no boundary within reach", filler + sel, filler.right(400), QString()},
        {"after: to the end of the sentence", sel + QStringLiteral("还没完！下一句？") + filler, QString(), QStringLiteral("还没完！")},
        {"after: only the full stop that follows", QStringLiteral("整句。") + sel + QStringLiteral("；下一句？") + filler,
         QStringLiteral("整句。"), QStringLiteral("；")},
        {"after: a line feed ends it and is trimmed", sel + QStringLiteral("\n下一段。") + filler, QString(), QString()},
        {"after: no boundary within reach", sel + filler, QString(), filler.left(400)},
        {"after: the end is within reach", sel + QStringLiteral("后文。还有。") + filler.left(390), QString(),
         QStringLiteral("后文。还有。") + filler.left(390)},
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

    // A stale range whose own ends fall inside pairs loses those halves too.
    const std::optional<Context> inside = SelectionCapture::contextWindow(text, left.size() - 1, 4, emoji.repeated(2));
    ASSERT_TRUE(inside);
    EXPECT_TRUE(wholeCharacters(inside->before) && wholeCharacters(inside->after));
}

TEST(ContextWindow, FortyThousandCharactersOfMixedTextStayBoundedAndWhole)
{
    for (const QString& unit : {QStringLiteral("天地玄黄宇宙洪荒日月盈昃辰宿列张"), QStringLiteral("天😀地👨‍👩‍👧玄🇨🇳黄")}) {
        const QString text = unit.repeated(40000 / unit.size());
        for (qsizetype location = 19998; location <= 20001; ++location) {
            const std::optional<Context> context = contextOf(text, location, 6);
            ASSERT_TRUE(context);
            EXPECT_TRUE(wholeCharacters(context->before) && wholeCharacters(context->after)) << location;
            EXPECT_GE(context->before.size(), SelectionCapture::contextSideLimit - 2) << location;
            EXPECT_LE(context->before.size(), SelectionCapture::contextSideLimit) << location;
            EXPECT_GE(context->after.size(), SelectionCapture::contextSideLimit - 2) << location;
            EXPECT_LE(context->after.size(), SelectionCapture::contextSideLimit) << location;
        }
    }
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

}
