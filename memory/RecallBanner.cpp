#include "memory/RecallBanner.h"

#include <QLocale>

#include "core/Graphemes.h"
#include "settings/L10n.h"

namespace RecallBanner {

namespace {

constexpr qsizetype kLongestNote = 30;

QString shortNote(const QString& note)
{
    const QString trimmed = note.trimmed();
    if (!Graphemes::atLeast(trimmed, kLongestNote + 1))
        return trimmed;
    return Graphemes::left(trimmed, kLongestNote) + QStringLiteral("…");
}

}

QString text(const KnowledgeStore::RecallHit& hit)
{
    const QString note = shortNote(hit.latest.note);
    const QString count = QString::number(hit.count);
    if (hit.semantic) {
        return note.isEmpty() ? L10n::t("popup.recall.semanticNoNote")
                              : L10n::tf("popup.recall.semanticWithNote", {note});
    }
    return note.isEmpty() ? L10n::tf("popup.recall.noNote", {count}) : L10n::tf("popup.recall.withNote", {count, note});
}

QString rememberedAnswer(const KnowledgeEntry& entry)
{
    const QString note = entry.note.trimmed();
    if (note.isEmpty())
        return entry.resultText;
    return entry.resultText + QStringLiteral("\n\n") + L10n::tf("popup.recall.noteTail", {note});
}

QString memoryStatus(const KnowledgeEntry& entry)
{
    const bool english = L10n::current() == L10n::Lang::en;
    const QLocale locale =
        english ? QLocale(QLocale::English, QLocale::UnitedStates) : QLocale(QLocale::Chinese, QLocale::China);
    const QString pattern = english ? QStringLiteral("MMM d, HH:mm") : QStringLiteral("M月d日 HH:mm");
    const QString when = locale.toString(entry.updatedAt.toLocalTime(), pattern);
    return L10n::tf("popup.recall.fromMemory", {when, entry.action});
}

}
