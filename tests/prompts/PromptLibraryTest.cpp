#include <gtest/gtest.h>

#include "core/ActionKey.h"
#include "prompts/PromptLibrary.h"
#include "prompts/PromptTexts.h"
#include "tests/support/Printers.h"

namespace {

using Creativity = PromptLibrary::Creativity;

QString text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

struct ContextCase {
    const char* name;
    std::optional<QString> before;
    std::optional<QString> after;
};

const ContextCase contextCases[] = {
    {"no context", std::nullopt, std::nullopt},
    {"blank on both sides", QStringLiteral(" \n\t "), QStringLiteral("\r\n")},
    {"before only", QStringLiteral("\n她喜欢画画。 "), std::nullopt},
    {"after only, before blank", QStringLiteral("   "), QStringLiteral(" 在艺术上与日俱增。\n")},
    {"both sides", QStringLiteral("  她喜欢画画。"), QStringLiteral("在艺术上与日俱增。  ")},
};

// The first user message the joining rules give, written out piece by piece.
QString expectedUserPrompt(const QString& actionKey, const QString& selected, const ContextCase& context)
{
    const QString before = context.before.value_or(QString()).trimmed();
    const QString after = context.after.value_or(QString()).trimmed();
    if (before.isEmpty() && after.isEmpty()) {
        if (actionKey == ActionKey::explain)
            return QStringLiteral("请解释下面这段内容：\n") + selected;
        if (actionKey == ActionKey::translate)
            return QStringLiteral("把下面这段翻译：\n") + selected;
        if (actionKey == ActionKey::rewrite)
            return QStringLiteral("把下面这段文字按上面的风格和发挥尺度改写：\n") + selected;
        return selected;
    }
    QString lines;
    if (!before.isEmpty())
        lines += QStringLiteral("[上文]…") + before + QStringLiteral("\n");
    lines += QStringLiteral("[要处理的部分]《") + selected + QStringLiteral("》\n");
    if (!after.isEmpty())
        lines += QStringLiteral("[下文]") + after + QStringLiteral("…\n");
    const bool known = actionKey == ActionKey::explain || actionKey == ActionKey::translate || actionKey == ActionKey::rewrite;
    const QString verb = known ? actionKey : QStringLiteral("处理");
    return text(PromptTexts::contextOpening) + lines + QStringLiteral("\n请只对《》中间的这部分做") + verb
        + text(PromptTexts::instructionMiddle) + verb + text(PromptTexts::instructionTail);
}

// Every action with every option value (and an unlisted one) under every kind of context: the
// system prompt and the first user message an action run sends.
TEST(PromptComposition, EveryActionOptionAndContextFollowsTheJoiningRules)
{
    // Each list starts with an unlisted id, which falls back to the first catalogue entry.
    QStringList modeIds{QStringLiteral("no-such-mode")};
    for (const auto& mode : PromptLibrary::explainModes())
        modeIds.append(mode.id);
    for (const QString& modeId : modeIds) {
        const qsizetype index = std::max<qsizetype>(modeIds.indexOf(modeId) - 1, 0);
        EXPECT_EQ(PromptLibrary::explainSystem(modeId), text(PromptTexts::explainOpening)
                      + PromptLibrary::explainModes()[index].instruction + text(PromptTexts::explainRequirements)) << modeId.toStdString();
    }

    QStringList scenarioIds{QString()};
    for (const auto& scenario : PromptLibrary::scenarios())
        scenarioIds.append(scenario.id);
    for (const QString& scenarioId : scenarioIds) {
        const QString style = PromptLibrary::scenarios()[std::max<qsizetype>(scenarioIds.indexOf(scenarioId) - 1, 0)].style;
        for (Creativity level : PromptLibrary::creativities()) {
            const QString block = level == Creativity::creative ? text(PromptTexts::creativeBlock)
                : text(PromptTexts::antiFabrication)
                    + text(level == Creativity::faithful ? PromptTexts::faithfulBlock : PromptTexts::moderateBlock);
            const QStringList parts{text(PromptTexts::rewriteAnchor), block, QStringLiteral("【输出风格/场景】") + style,
                                    text(PromptTexts::rewriteOutputRule)};
            EXPECT_EQ(PromptLibrary::rewriteSystem(scenarioId, level), parts.join(QStringLiteral("\n\n---\n\n")))
                << scenarioId.toStdString() << '/' << PromptLibrary::rawValue(level).toStdString();
        }
    }

    for (const QString& direction : PromptLibrary::translateDirectionIds() + QStringList{QStringLiteral("xx")}) {
        const std::optional<QString> name = PromptLibrary::targetLanguageName(direction);
        EXPECT_EQ(name.has_value(), direction != QLatin1String("auto") && direction != QLatin1String("xx"));
        const QString directionBlock = !name
            ? text(PromptTexts::autoDirectionBlock)
            : text(PromptTexts::fixedDirectionHead) + *name + text(PromptTexts::fixedDirectionMiddle) + *name
                + text(PromptTexts::fixedDirectionTail);
        EXPECT_EQ(PromptLibrary::translateSystem(direction),
                  text(PromptTexts::translatorOpening) + directionBlock + text(PromptTexts::translationRequirements))
            << direction.toStdString();
    }

    const QString selected = QStringLiteral("  interest \n"); // inserted as captured, untrimmed
    for (const QString& actionKey : {ActionKey::explain, ActionKey::translate, ActionKey::rewrite, QStringLiteral("总结")}) {
        for (const ContextCase& context : contextCases) {
            EXPECT_EQ(PromptLibrary::contextualUserPrompt(actionKey, selected, context.before, context.after),
                      expectedUserPrompt(actionKey, selected, context))
                << actionKey.toStdString() << ", " << context.name;
        }
    }
}

TEST(PromptComposition, UnlistedDirectionFallsBackToAuto)
{
    EXPECT_EQ(PromptLibrary::translateDirection(QStringLiteral("ru")), QStringLiteral("ru"));
    EXPECT_EQ(PromptLibrary::translateDirection(QStringLiteral("it")), QStringLiteral("auto"));
}

TEST(PromptComposition, FollowUpPutsThePrefixBeforeTheInstruction)
{
    EXPECT_EQ(PromptLibrary::followUpRevisePrompt(QStringLiteral("再短一点")),
              QStringLiteral("请根据下面这条意见，对你【上一版】做出明显修改：真正体现这条意见，不要只换个别词，更不要原样照抄上一版。"
                             "只输出修改后的新版本正文，不要解释。\n\n我的意见：再短一点"));
}

}
