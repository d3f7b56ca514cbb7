#include <gtest/gtest.h>

#include "core/CjkRatio.h"
#include "prompts/PromptLibrary.h"
#include "tests/support/Printers.h"

namespace {

struct Sample {
    const char* name;
    QString text;
    QString autoTarget; // what "auto" translates into
};

const Sample samples[] = {
    {"English", QStringLiteral("The quick brown fox jumps over the lazy dog."), QStringLiteral("zh")},
    {"Chinese", QStringLiteral("今天天气很好，我们去公园散步吧。"), QStringLiteral("en")},
    {"Japanese kana and kanji", QStringLiteral("これは日本語の文章です。カタカナもあります。"), QStringLiteral("en")},
    {"Korean", QStringLiteral("안녕하세요, 만나서 반갑습니다."), QStringLiteral("en")},
    {"digits and punctuation only", QStringLiteral("2024-06-01 12:30, 99.5% !?"), QStringLiteral("en")},
    {"CJK share exactly 0.3", QStringLiteral("中文字 abc defg"), QStringLiteral("en")},
    {"CJK share just below 0.3", QStringLiteral("中文字 abcd efgh"), QStringLiteral("zh")},
};

// Foreign text is translated into Chinese by "auto" and gets Translate first in the popup (the
// order itself is checked with the action list).
TEST(ForeignText, AutoDirectionFollowsTheCjkShareOfLetters)
{
    for (const Sample& sample : samples) {
        EXPECT_EQ(PromptLibrary::resolveDirection(QStringLiteral("auto"), sample.text), sample.autoTarget)
            << sample.name;
        EXPECT_EQ(isForeignText(sample.text), sample.autoTarget == QLatin1String("zh")) << sample.name;
    }
    EXPECT_DOUBLE_EQ(cjkLetterRatio(QStringLiteral("中文字 abc defg")), 0.3);
    EXPECT_DOUBLE_EQ(cjkLetterRatio(QStringLiteral("123 ...")), 1.0);
    EXPECT_DOUBLE_EQ(cjkLetterRatio(QStringLiteral("e\u0301中")), 1.0 / 3) << "combining marks count as letters";
    for (const QString& direction :
         {QStringLiteral("ja"), QStringLiteral("zh"), QStringLiteral("klingon"), QStringLiteral("Auto")})
        EXPECT_EQ(PromptLibrary::resolveDirection(direction, QStringLiteral("hello")), direction)
            << "only \"auto\" is resolved";
}

}
