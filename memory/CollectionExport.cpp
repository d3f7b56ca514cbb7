#include "memory/CollectionExport.h"

#include <QLocale>
#include <QStringList>

namespace CollectionExport {

QString systemPrompt(bool english)
{
    if (english)
        return QStringLiteral(
            "You are a careful note organizer. "
            "The user gives you a list of saved snippets (reading highlights, quotes, research notes). "
            "Your ONLY job is to group them by theme and write a brief summary per group.\n"
            "\n"
            "HARD RULES (never break):\n"
            "- Be 100% faithful to the original text. "
            "Never invent, add, or fabricate any fact, number, quote, or detail that is not already in the snippets.\n"
            "- Only group and distill. Do not rewrite the snippets themselves.\n"
            "- Let the categories emerge from the content (e.g. "
            "\"Quotes\", \"Reading notes\", \"Research directions\"). "
            "Do NOT force a fixed set of categories.\n"
            "- Keep a sense of each snippet's origin; you may reference snippets by their number.\n"
            "- If something does not fit any theme, put it under a \"Misc\" group rather than guessing.\n"
            "\n"
            "Output well-structured Markdown: a top-level title, then `## ` for each theme, a one- to two-sentence "
            "summary, then a bullet list of the snippets that belong to it.");
    return QStringLiteral("你是一个严谨的笔记整理助手。用户给你一批收藏的零散内容（读书重点、金句、研究方向记录等）。你"
                          "的唯一任务是：把它们按主题归类，并给每一类写简短的归纳总结。\n"
                          "\n"
                          "铁律（绝不违反）：\n"
                          "- 100% 忠实原内容。绝不编造、添加、虚构任何原文里没有的事实、数字、引文或细节。\n"
                          "- 只做归类和提炼，不要改写原文本身。\n"
                          "- 类别由内容自然归纳得出（如「金句」「读书重点」「研究方向」），不要套固定类别。\n"
                          "- 保留每条内容的出处感，可以用编号引用对应条目。\n"
                          "- 实在归不进任何主题的，放进「其它」一类，不要硬猜。\n"
                          "\n"
                          "输出结构化的 Markdown：一个总标题，然后每个主题用 `## ` "
                          "开头，配一两句归纳总结，再用列表列出归到这一类的条目。");
}

QString userPrompt(const QList<KnowledgeEntry>& entries, bool english)
{
    QStringList lines = {
        english ? QStringLiteral(
            "Here are my saved snippets. Group them by theme and summarize each group, following the rules strictly.\n")
                : QStringLiteral("下面是我收藏的零散内容。请严格按规则，把它们按主题归类，并给每类做简短归纳。\n")};
    const QLocale locale =
        english ? QLocale(QLocale::English, QLocale::UnitedStates) : QLocale(QLocale::Chinese, QLocale::China);
    const QString datePattern = english ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("yyyy年M月d日");
    int number = 0;
    for (const KnowledgeEntry& entry : entries) {
        QStringList meta;
        for (const QString& part : {entry.note.trimmed(), entry.appName.trimmed()}) {
            if (!part.isEmpty())
                meta.append(part);
        }
        meta.append(locale.toString(entry.createdAt.toLocalTime(), datePattern));
        lines.append(QString::number(++number) + QStringLiteral(". [") + meta.join(QStringLiteral(" · "))
                     + QStringLiteral("] ") + entry.sourceText.trimmed());
    }
    return lines.join(QLatin1Char('\n'));
}

}
