#include "profile/ProfileEngine.h"

#include <QRegularExpression>

#include "core/Graphemes.h"

namespace {

const QStringList kMarkup = {QStringLiteral("**"), QStringLiteral("__"), QStringLiteral("`"), QStringLiteral("*"),
                             QStringLiteral("#")};

const QStringList kLabels = {
    QStringLiteral("画像："),       QStringLiteral("画像:"),       QStringLiteral("用户画像："),
    QStringLiteral("用户画像:"),    QStringLiteral("profile:"),    QStringLiteral("Profile:"),
    QStringLiteral("一句话画像："), QStringLiteral("一句话画像:"),
};

const QList<std::pair<QChar, QChar>> kQuotePairs = {
    {u'"', u'"'}, {u'\'', u'\''}, {u'“', u'”'}, {u'‘', u'’'}, {u'「', u'」'}, {u'『', u'』'},
};

// A reply that tries to steer later prompts, or a model that declined, is not a profile.
const QStringList kInjections = {
    QStringLiteral("ignore previous"),
    QStringLiteral("ignore the previous"),
    QStringLiteral("ignore all previous"),
    QStringLiteral("disregard previous"),
    QStringLiteral("system:"),
    QStringLiteral("you are now"),
    QStringLiteral("忽略之前"),
    QStringLiteral("忽略以上"),
    QStringLiteral("无视之前"),
    QStringLiteral("忽略前面的指令"),
    QStringLiteral("重新设定"),
    QStringLiteral("</system>"),
    QStringLiteral("<system>"),
};
const QStringList kRefusals = {
    QStringLiteral("无法"),        QStringLiteral("抱歉"),       QStringLiteral("对不起"),
    QStringLiteral("作为ai"),      QStringLiteral("作为一个ai"), QStringLiteral("作为人工智能"),
    QStringLiteral("i cannot"),    QStringLiteral("i can't"),    QStringLiteral("i'm sorry"),
    QStringLiteral("i am sorry"),  QStringLiteral("as an ai"),   QStringLiteral("i'm unable"),
    QStringLiteral("i am unable"),
};

QString trimSpacesAndTabs(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    const auto blank = [&text](qsizetype i) { return text[i] == u' ' || text[i] == u'\t'; };
    while (start < end && blank(start))
        ++start;
    while (end > start && blank(end - 1))
        --end;
    return text.mid(start, end - start);
}

QString joinLines(const QString& text)
{
    static const QRegularExpression lineBreaks(QStringLiteral("[\\n\\x{000B}\\f\\r\\x{0085}\\x{2028}\\x{2029}]"));
    QStringList kept;
    for (const QString& line : text.split(lineBreaks)) {
        const QString trimmed = trimSpacesAndTabs(line);
        if (!trimmed.isEmpty())
            kept.append(trimmed);
    }
    return kept.join(QLatin1Char(' '));
}

QString withoutLabels(QString text)
{
    for (const QString& label : kLabels) {
        if (text.startsWith(label, Qt::CaseInsensitive))
            text = trimSpacesAndTabs(text.mid(label.size()));
    }
    return text;
}

QString withoutWrappingQuotes(QString text)
{
    for (bool stripped = true; stripped && text.size() >= 2;) {
        stripped = false;
        for (const auto& [open, close] : kQuotePairs) {
            if (text.front() == open && text.back() == close) {
                text = trimSpacesAndTabs(text.mid(1, text.size() - 2));
                stripped = true;
                break;
            }
        }
    }
    return text;
}

bool containsAny(const QString& lowered, const QStringList& phrases)
{
    return std::any_of(phrases.begin(), phrases.end(),
                       [&lowered](const QString& phrase) { return lowered.contains(phrase); });
}

}

std::optional<QString> ProfileEngine::sanitize(const QString& reply)
{
    QString text = reply.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    for (const QString& mark : kMarkup)
        text.remove(mark);
    text = withoutWrappingQuotes(withoutLabels(joinLines(text))).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    const QString lowered = text.toLower();
    if (containsAny(lowered, kInjections) || containsAny(lowered, kRefusals))
        return std::nullopt;
    text = Graphemes::left(text, maxProfileChars).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}
