#include "windows/KnowledgeListModel.h"

#include <algorithm>

#include <QLocale>

#include "settings/L10n.h"

namespace {

QString firstLine(const QString& text)
{
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            return line.trimmed().toString();
    }
    return L10n::t("kw.row.empty");
}

QString metaLine(const KnowledgeEntry& entry)
{
    const QString app = entry.appName.isEmpty() ? L10n::t("kw.meta.app.unknown") : entry.appName;
    QString meta = app + QStringLiteral(" · ") + KnowledgeListModel::shortDate(entry.createdAt);
    const QString label = entry.note.trimmed();
    if (entry.isCollected && !label.isEmpty())
        meta.prepend(label + QStringLiteral(" · "));
    return meta;
}

}

void KnowledgeListModel::setRows(QList<SharedEntry> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void KnowledgeListModel::replaceRow(int row, const KnowledgeEntry& entry)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row] = std::make_shared<const KnowledgeEntry>(entry);
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed);
}

int KnowledgeListModel::rowOf(const QString& id) const
{
    const auto found =
        std::find_if(m_rows.cbegin(), m_rows.cend(), [&id](const SharedEntry& entry) { return entry->id == id; });
    return found == m_rows.cend() ? -1 : int(found - m_rows.cbegin());
}

int KnowledgeListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant KnowledgeListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const KnowledgeEntry& entry = *m_rows[index.row()];
    switch (role) {
    case MarkRole: return entry.isCollected ? QStringLiteral("◆") : entry.favorite ? QStringLiteral("★") : QString();
    case CollectedRole: return entry.isCollected;
    case TagRole: return entry.action.isEmpty() ? L10n::t("kw.row.record") : entry.action;
    case PreviewRole: return firstLine(entry.sourceText);
    case MetaRole: return metaLine(entry);
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        const QString mark = data(index, MarkRole).toString();
        return (mark.isEmpty() ? QString() : mark + QLatin1Char(' ')) + data(index, TagRole).toString()
            + QLatin1Char(' ') + data(index, PreviewRole).toString();
    }
    default: return {};
    }
}

QString KnowledgeListModel::shortDate(const QDateTime& when)
{
    const QLocale locale = L10n::current() == L10n::Lang::en ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                             : QLocale(QLocale::Chinese, QLocale::China);
    return locale.toString(when.toLocalTime(), QStringLiteral("MM-dd HH:mm"));
}
