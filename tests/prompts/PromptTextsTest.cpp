#include <gtest/gtest.h>

#include "prompts/PromptLibrary.h"
#include "prompts/PromptTexts.h"
#include "tests/support/Printers.h"

namespace {

// UTF-8 lengths: a lost line feed, a doubled backslash or a straight quote in place of a curly
// one changes them.
TEST(PromptTexts, EveryTextHasItsExactByteLength)
{
    using namespace PromptTexts;
    const std::pair<std::string_view, size_t> fixed[] = {
        {antiFabrication, 426}, {faithfulBlock, 459}, {moderateBlock, 209}, {creativeBlock, 307},
        {rewriteAnchor, 1099}, {rewriteStyleHeading, 25}, {rewriteOutputRule, 210}, {explainOpening, 27},
        {explainRequirements, 728}, {translatorOpening, 242}, {autoDirectionBlock, 395}, {fixedDirectionHead, 92},
        {fixedDirectionMiddle, 25}, {fixedDirectionTail, 108}, {translationRequirements, 814}, {explainPrefix, 31},
        {translatePrefix, 25}, {rewritePrefix, 64}, {contextOpening, 146}, {selectionLineOpener, 23},
        {instructionHead, 37}, {instructionMiddle, 226}, {instructionTail, 527}, {followUpRevisePrefix, 227},
    };
    for (size_t i = 0; i < std::size(fixed); ++i)
        EXPECT_EQ(fixed[i].first.size(), fixed[i].second) << "text " << i << ": " << fixed[i].first;

    QStringList catalogue;
    for (const auto& scenario : PromptLibrary::scenarios())
        catalogue.append(scenario.style);
    for (const auto& mode : PromptLibrary::explainModes())
        catalogue.append(mode.instruction);
    for (const QString& id : PromptLibrary::translateDirectionIds())
        catalogue.append(PromptLibrary::targetLanguageName(id).value_or(QString()));
    const qsizetype bytes[] = {
        45, 225, 135, 141, 111, 111, 127, // scenario styles
        76, 226, 96, 87, 68,              // explanation instructions
        0, 34, 19, 32, 30, 30, 28, 36, 36, // target-language names ("auto" has none)
    };
    ASSERT_EQ(catalogue.size(), qsizetype(std::size(bytes)));
    for (qsizetype i = 0; i < catalogue.size(); ++i)
        EXPECT_EQ(catalogue[i].toUtf8().size(), bytes[i]) << catalogue[i].toStdString();
}

TEST(PromptTexts, EscapesAreSingleCharacters)
{
    EXPECT_NE(PromptTexts::explainRequirements.find("不许出现 \\frac、\\lambda、\\left、\\[ \\]、$、^、_ 这类符号"), std::string_view::npos);
    EXPECT_EQ(PromptTexts::explainRequirements.find("\\\\"), std::string_view::npos);
    EXPECT_NE(PromptTexts::antiFabrication.find("\"脑补\""), std::string_view::npos);
    EXPECT_TRUE(PromptTexts::translatorOpening.ends_with("\n\n") && PromptTexts::translationRequirements.starts_with("\n\n"));
    EXPECT_TRUE(PromptLibrary::explainMode(QStringLiteral("solve")).instruction.contains(QStringLiteral("“好的/我们来看看/希望对你有帮助”")));
}

}
