#include <gtest/gtest.h>

#include "popup/SelectionMarks.h"
#include "tests/support/Printers.h"

namespace {

// Beyond the built-in cases of the self-check (run by the self-check test): nested layers with inner spaces,
// unbalanced layers, book titles at the edges (two titles are not one enclosing pair), and texts that are nothing but marks.
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
