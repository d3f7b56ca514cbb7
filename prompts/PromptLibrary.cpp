#include "prompts/PromptLibrary.h"

#include <QHash>

#include "core/ActionKey.h"
#include "core/CjkRatio.h"
#include "prompts/PromptTexts.h"
#include "settings/L10n.h"

namespace {

QString text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

const QHash<QString, QString>& targetLanguageNames()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("zh"), QStringLiteral("中文（Chinese / 简体中文）")},
        {QStringLiteral("en"), QStringLiteral("英文（English）")},
        {QStringLiteral("ja"), QStringLiteral("日语（Japanese / 日本語）")},
        {QStringLiteral("ko"), QStringLiteral("韩语（Korean / 한국어）")},
        {QStringLiteral("fr"), QStringLiteral("法语（French / Français）")},
        {QStringLiteral("de"), QStringLiteral("德语（German / Deutsch）")},
        {QStringLiteral("es"), QStringLiteral("西班牙语（Spanish / Español）")},
        {QStringLiteral("ru"), QStringLiteral("俄语（Russian / Русский）")},
    };
    return names;
}

template <typename Entry>
Entry findOrFirst(const QList<Entry>& catalogue, const QString& id)
{
    for (const Entry& entry : catalogue) {
        if (entry.id == id)
            return entry;
    }
    return catalogue.first();
}

// The verb of the context prompt: the action key itself, or "process" for an unknown action.
QString contextVerb(const QString& actionKey)
{
    if (actionKey == ActionKey::explain || actionKey == ActionKey::translate || actionKey == ActionKey::rewrite)
        return actionKey;
    return QStringLiteral("处理");
}

}

QString PromptLibrary::Scenario::displayName() const
{
    return L10n::t(QStringLiteral("scenario.") + id);
}

QString PromptLibrary::ExplainMode::displayName() const
{
    return L10n::t(QStringLiteral("explain.") + id);
}

QString PromptLibrary::TranslateDirection::displayName() const
{
    return L10n::t(QStringLiteral("translate.dir.") + id);
}

const QList<PromptLibrary::Creativity>& PromptLibrary::creativities()
{
    static const QList<Creativity> all{Creativity::faithful, Creativity::moderate, Creativity::creative};
    return all;
}

const QList<PromptLibrary::Scenario>& PromptLibrary::scenarios()
{
    static const QList<Scenario> all{
        {QStringLiteral("general"), QStringLiteral("按通顺自然来，不强加特定文体。")},
        {QStringLiteral("gongwen"),
         QStringLiteral(
             "改成规范严谨的公文/正式文体：去口语和情绪化表达，用规范的中文书面语（绝不夹英文词，如该写「纯粹/仅」不写 "
             "purely），逻辑清晰、表述准确客观，不夸张不煽情。")},
        {QStringLiteral("fanwen"),
         QStringLiteral("改成规范优美的书面范文：用词考究、句式工整、行文流畅得体，可作示范，但不堆砌辞藻、不空洞。")},
        {QStringLiteral("zimeiti"),
         QStringLiteral(
             "改成有传播力的自媒体风格：开头有钩子、口语化、节奏明快、有记忆点和金句感；但不为流量编造事实。")},
        {QStringLiteral("email"),
         QStringLiteral("改成得体清晰的商务邮件语气：礼貌、专业、简洁，重点突出，有明确诉求和收尾。")},
        {QStringLiteral("xiaohongshu"),
         QStringLiteral("改成小红书种草口吻：亲切口语、短句、有真实体验感，可适度分点，真诚不浮夸。")},
        {QStringLiteral("xueshu"),
         QStringLiteral("改成严谨的学术/专业书面语：用准确术语、客观陈述、逻辑严密，避免主观情绪和口语化表达。")},
    };
    return all;
}

const QList<PromptLibrary::ExplainMode>& PromptLibrary::explainModes()
{
    static const QList<ExplainMode> all{
        {QStringLiteral("plain"), QStringLiteral("用大白话通俗解释，3-5 句话，不堆术语，让外行也能懂。")},
        {QStringLiteral("solve"),
         QStringLiteral("按「是什么 → 为什么 → "
                        "怎么理解/怎么用」三层拆解讲清楚，分点给步骤、条理清晰。直接进入正题，不要加“好的/我们来看看/"
                        "希望对你有帮助”这类开场白和结束语。")},
        {QStringLiteral("pro"), QStringLiteral("专业深入地解释：点出准确术语、背景、机制和关键细节，可适当展开。")},
        {QStringLiteral("kid"), QStringLiteral("像给小学生讲一样：用打比方和生活例子，简单亲切，别用难词。")},
        {QStringLiteral("points"), QStringLiteral("提炼成 3-6 条要点，每条一句话直接列出，不啰嗦。")},
    };
    return all;
}

const QStringList& PromptLibrary::translateDirectionIds()
{
    static const QStringList ids{
        QStringLiteral("auto"), QStringLiteral("zh"), QStringLiteral("en"), QStringLiteral("ja"), QStringLiteral("ko"),
        QStringLiteral("fr"),   QStringLiteral("de"), QStringLiteral("es"), QStringLiteral("ru"),
    };
    return ids;
}

const QList<PromptLibrary::TranslateDirection>& PromptLibrary::translateDirections()
{
    static const QList<TranslateDirection> all = [] {
        QList<TranslateDirection> directions;
        for (const QString& id : translateDirectionIds())
            directions.append({id});
        return directions;
    }();
    return all;
}

QString PromptLibrary::rawValue(Creativity creativity)
{
    static const char* const rawValues[] = {"faithful", "moderate", "creative"};
    return QString::fromLatin1(rawValues[int(creativity)]);
}

std::optional<PromptLibrary::Creativity> PromptLibrary::creativity(const QString& rawValue)
{
    for (Creativity level : creativities()) {
        if (PromptLibrary::rawValue(level) == rawValue)
            return level;
    }
    return std::nullopt;
}

QString PromptLibrary::displayName(Creativity creativity)
{
    return L10n::t(QStringLiteral("creativity.") + rawValue(creativity));
}

QString PromptLibrary::preamble(Creativity creativity)
{
    // Only the creative level may invent; the other two are bound by the anti-fabrication rule.
    if (creativity == Creativity::creative)
        return text(PromptTexts::creativeBlock);
    return text(PromptTexts::antiFabrication)
        + text(creativity == Creativity::faithful ? PromptTexts::faithfulBlock : PromptTexts::moderateBlock);
}

PromptLibrary::Scenario PromptLibrary::scenario(const QString& id)
{
    return findOrFirst(scenarios(), id);
}

PromptLibrary::ExplainMode PromptLibrary::explainMode(const QString& id)
{
    return findOrFirst(explainModes(), id);
}

std::optional<QString> PromptLibrary::targetLanguageName(const QString& id)
{
    const auto name = targetLanguageNames().constFind(id);
    if (name == targetLanguageNames().constEnd())
        return std::nullopt;
    return *name;
}

QString PromptLibrary::rewriteSystem(const QString& scenarioId, Creativity creativity)
{
    const QStringList parts{
        text(PromptTexts::rewriteAnchor),
        preamble(creativity),
        text(PromptTexts::rewriteStyleHeading) + scenario(scenarioId).style,
        text(PromptTexts::rewriteOutputRule),
    };
    return parts.join(QStringLiteral("\n\n---\n\n"));
}

QString PromptLibrary::explainSystem(const QString& modeId)
{
    return text(PromptTexts::explainOpening) + explainMode(modeId).instruction + text(PromptTexts::explainRequirements);
}

QString PromptLibrary::resolveDirection(const QString& direction, const QString& sampleText)
{
    if (direction != QLatin1String("auto"))
        return direction;
    return isForeignText(sampleText) ? QStringLiteral("zh") : QStringLiteral("en");
}

QString PromptLibrary::translateSystem(const QString& direction)
{
    const std::optional<QString> name = targetLanguageName(direction);
    const QString directionBlock = !name ? text(PromptTexts::autoDirectionBlock)
                                         : text(PromptTexts::fixedDirectionHead) + *name
            + text(PromptTexts::fixedDirectionMiddle) + *name + text(PromptTexts::fixedDirectionTail);
    return text(PromptTexts::translatorOpening) + directionBlock + text(PromptTexts::translationRequirements);
}

QString PromptLibrary::plainUserPrompt(const QString& actionKey, const QString& selected)
{
    if (actionKey == ActionKey::explain)
        return text(PromptTexts::explainPrefix) + selected;
    if (actionKey == ActionKey::translate)
        return text(PromptTexts::translatePrefix) + selected;
    if (actionKey == ActionKey::rewrite)
        return text(PromptTexts::rewritePrefix) + selected;
    return selected;
}

QString PromptLibrary::contextualUserPrompt(const QString& actionKey, const QString& selected,
                                            const std::optional<QString>& before, const std::optional<QString>& after)
{
    const QString trimmedBefore = before.value_or(QString()).trimmed();
    const QString trimmedAfter = after.value_or(QString()).trimmed();
    if (trimmedBefore.isEmpty() && trimmedAfter.isEmpty())
        return plainUserPrompt(actionKey, selected);

    QString prompt = text(PromptTexts::contextOpening);
    if (!trimmedBefore.isEmpty())
        prompt += QStringLiteral("[上文]…") + trimmedBefore + QLatin1Char('\n');
    prompt += text(PromptTexts::selectionLineOpener) + selected + QStringLiteral("》\n");
    if (!trimmedAfter.isEmpty())
        prompt += QStringLiteral("[下文]") + trimmedAfter + QStringLiteral("…\n");
    const QString verb = contextVerb(actionKey);
    return prompt + text(PromptTexts::instructionHead) + verb + text(PromptTexts::instructionMiddle) + verb
        + text(PromptTexts::instructionTail);
}

QString PromptLibrary::followUpRevisePrompt(const QString& instruction)
{
    return text(PromptTexts::followUpRevisePrefix) + instruction;
}
