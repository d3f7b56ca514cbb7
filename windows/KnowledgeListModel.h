#pragma once

#include <QAbstractListModel>
#include <QList>

#include "memory/KnowledgeEntry.h"

// The entries the knowledge window lists, in the order of the last query. The rows share the
// store's entries and their texts are made only when a row is drawn, so a list of tens of
// thousands of entries copies none of them.
class KnowledgeListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role {
        MarkRole = Qt::UserRole + 1, // "◆" for a collected snippet, "★" for a starred lookup, else empty
        CollectedRole,
        TagRole,     // the action, or "Record"
        PreviewRole, // the first non-empty line of the source, or "(empty)"
        MetaRole,    // "<source label · ><app> · <date>"
    };

    using QAbstractListModel::QAbstractListModel;

    void setRows(QList<SharedEntry> rows);
    void replaceRow(int row, const KnowledgeEntry& entry);
    const KnowledgeEntry& entryAt(int row) const { return *m_rows[row]; }
    // The row holding that id, or -1.
    int rowOf(const QString& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // "MM-dd HH:mm" of the entry's creation, in local time, as rows and the detail show it.
    static QString shortDate(const QDateTime& when);

private:
    QList<SharedEntry> m_rows;
};
