#pragma once

#include <functional>
#include <optional>

#include <QWidget>

#include "memory/KnowledgeEntry.h"
#include "windows/KnowledgeBrowser.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The right side of the knowledge window: the shown entry's editors, star checkbox, meta line
// and buttons, or the hint of an empty state in their place.
class KnowledgeDetail : public QWidget {
    Q_OBJECT

public:
    explicit KnowledgeDetail(QWidget* parent = nullptr);

    // Fills the editors from the entry; an entry already shown with the same content keeps them
    // (and the cursor) as they are.
    void showEntry(const KnowledgeEntry& entry);
    // Hides the editors and shows the hint instead.
    void showHint(const QString& hint);

    KnowledgeBrowser::Edits edits() const;
    // Shows the text in green in the meta line for a moment.
    void flash(const QString& text, bool failure = false);

Q_SIGNALS:
    // An editor lost the keyboard: the end of an edit.
    void editingFinished();
    void favoriteToggled(bool favorite);
    void saveRequested();
    void copyRequested();
    void deleteRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* addEditor(const char* titleKey, const char* accessibleName, int stretch);
    void setMeta(const QString& text, const QColor& color);

    QWidget* m_editors;
    QLabel* m_hint;
    QPlainTextEdit* m_source;
    QPlainTextEdit* m_result;
    QPlainTextEdit* m_note;
    QCheckBox* m_favorite;
    QLabel* m_meta;
    QTimer* m_flashEnd;
    QString m_metaText;
    std::optional<KnowledgeEntry> m_shown;
};
