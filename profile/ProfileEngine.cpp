#include "profile/ProfileEngine.h"

#include <algorithm>

#include "core/ActionKey.h"
#include "core/Graphemes.h"
#include "memory/KnowledgeStore.h"
#include "profile/ProfileStore.h"

namespace {

const QString kUnnamedAction = QStringLiteral("记录");

constexpr qsizetype kLongestGenerationText = 40;

// One line of a record for the generation prompt: line breaks become spaces, long texts are cut.
QString oneLine(const QString& text)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line = line.trimmed();
    if (!Graphemes::atLeast(line, kLongestGenerationText + 1))
        return line;
    return Graphemes::left(line, kLongestGenerationText) + QStringLiteral("…");
}

}

bool ProfileEngine::shouldRegenerate(int count, int lastCount)
{
    if (count < minCountToGenerate)
        return false;
    return lastCount == 0 || count - lastCount >= regenerateStep;
}

bool ProfileEngine::regenerationDue(bool profileEnabled, int knowledgeCount)
{
    if (!profileEnabled)
        return false;
    const std::optional<UserProfile> stored = ProfileStore::load();
    return shouldRegenerate(knowledgeCount, stored ? stored->generatedAtCount : 0);
}

ProfileEngine::GenerationMessages ProfileEngine::buildGenerationMessages(const QList<KnowledgeEntry>& entries)
{
    QStringList lines;
    const qsizetype used = std::min<qsizetype>(entries.size(), maxEntriesForGeneration);
    for (qsizetype i = 0; i < used; ++i) {
        const KnowledgeEntry& entry = entries[i];
        const QString action = entry.action.isEmpty() ? kUnnamedAction : entry.action;
        lines.append(QString::number(i + 1) + QStringLiteral(". [") + action + QStringLiteral("] 原文：")
                     + oneLine(entry.sourceText) + QStringLiteral(" → 结果：") + oneLine(entry.resultText));
    }
    const QString block = lines.isEmpty() ? QStringLiteral("（暂无记录）") : lines.join(QLatin1Char('\n'));
    return {
        QStringLiteral("你是一个用户画像总结助手。下面给你一个人最近用一个划词工具查过 / 改过 / 译过的若干条记录。\n"
                       "请只根据这些记录，总结这个人的「学习画像」，用于让 AI 后续回答时把握深浅和用词。\n"
                       "\n"
                       "铁律（必须全部遵守）：\n"
                       "① 只输出一句话，不超过 60 个汉字；\n"
                       "② 只允许写从记录里能明确看出来的领域 / 水平 / 偏好（例如「关注宏观经济、偏好通俗解释」）；\n"
                       "③ 严禁编造记录里没有的用户身份、职业、年龄、姓名或任何事实；看不出来就只写看得出的那部分；\n"
                       "④ 不要用 markdown、不要加引号、不要写「画像：」之类前缀、不要解释、不要换行，就一句话本身。\n"
                       "如果记录太杂看不出明显倾向，就只写最能概括的一句，仍然不许编造。"),
        QStringLiteral("以下是这个人的最近记录：\n") + block + QStringLiteral("\n\n请按上面的铁律，输出一句话画像。"),
    };
}

bool ProfileEngine::shouldInject(const QString& actionKey, bool enabled, const std::optional<QString>& profile)
{
    return enabled && actionKey != ActionKey::translate && profile && !profile->trimmed().isEmpty();
}

QString ProfileEngine::injectionPreamble(const QString& profile)
{
    return QStringLiteral("【用户背景画像 · 仅供你把握回答深度与用词，不是回答内容的一部分】\n画像：『")
        + profile.trimmed()
        + QStringLiteral("』\n铁律（务必遵守 / Hard rules）：\n① 绝不在回答里提及这段画像，也绝不说")
        + QStringLiteral(R"("根据你的背景""作为一个…的用户""as a user / based on your background")")
        + QStringLiteral("之类的话；\n"
                         "② 绝不编造任何关于用户的新信息；\n"
                         "③ 若这段画像与当前要处理的文字无关，就完全忽略它、当作没有画像一样正常回答（completely "
                         "ignore it if irrelevant）；\n"
                         "④ 回答的内容、格式、语言都不受画像影响，只允许据此微调讲解的深浅和用词。");
}

void ProfileEngine::regenerate(KnowledgeStore& store, const OneShotChat& chat, std::stop_token stop)
{
    if (const std::optional<UserProfile> stored = ProfileStore::load(); stored && stored->userEdited)
        return;
    const QList<KnowledgeEntry> entries = store.all();
    const int count = int(entries.size());
    if (count < minCountToGenerate || !chat)
        return;
    const GenerationMessages messages = buildGenerationMessages(entries);
    const std::optional<QString> reply =
        chat({ChatMessage::system(messages.system), ChatMessage::user(messages.user)}, stop);
    if (!reply || stop.stop_requested())
        return;
    const std::optional<QString> line = sanitize(*reply);
    if (!line)
        return;
    UserProfile generated;
    generated.text = *line;
    generated.basedOnCount = std::min(count, maxEntriesForGeneration);
    generated.updatedAt = QDateTime::currentDateTimeUtc();
    generated.generatedAtCount = count;
    ProfileStore::saveGenerated(generated);
}

bool ProfileEngine::saveUserEdit(const QString& text, int knowledgeCount)
{
    UserProfile profile = ProfileStore::load().value_or(UserProfile());
    profile.text = text.trimmed();
    profile.userEdited = true;
    profile.updatedAt = QDateTime::currentDateTimeUtc();
    profile.generatedAtCount = knowledgeCount;
    if (profile.basedOnCount == 0)
        profile.basedOnCount = knowledgeCount;
    return ProfileStore::save(profile);
}

void ProfileEngine::releaseUserEdit()
{
    std::optional<UserProfile> profile = ProfileStore::load();
    if (!profile || !profile->userEdited)
        return;
    profile->userEdited = false;
    ProfileStore::save(*profile);
}
