#pragma once

#include <atomic>
#include <optional>

#include <QObject>
#include <QString>

#include "memory/KnowledgeEntry.h"
#include "windows/KnowledgeListModel.h"

class KnowledgeStore;

// What the knowledge window shows and does, without its widgets: the query and filter, the
// listed rows, the entry shown in the detail, and the edits written back. Main thread only;
// every store call is synchronous. Any change of the base, by this process or another one, is
// told by storeChanged on this object's thread.
class KnowledgeBrowser : public QObject {
    Q_OBJECT

public:
    enum class Filter { all, favorites, collection };

    // What the detail's editors hold.
    struct Edits {
        QString sourceText;
        QString resultText;
        QString note;
        bool favorite = false;
        bool operator==(const Edits&) const = default;
    };
    enum class Commit { unchanged, saved, failed };

    explicit KnowledgeBrowser(KnowledgeStore& store, QObject* parent = nullptr);
    ~KnowledgeBrowser() override;

    KnowledgeListModel* model() { return &m_model; }
    Filter filter() const { return m_filter; }
    QString query() const { return m_query; }

    // Each re-runs the query at once.
    void setQuery(const QString& query);
    void setFilter(Filter filter);

    // Runs the query again. The entry the user picked stays shown while it is listed; otherwise
    // the first row is shown, and the pick comes back once a later query lists it again.
    void reload();

    // The row shown in the detail, or -1; and its entry as last read from the store.
    int currentRow() const { return m_currentRow; }
    const std::optional<KnowledgeEntry>& current() const { return m_current; }
    // The user picks a row (-1: none).
    void choose(int row);

    // "Knowledge base (N)", or without a count for an empty store.
    QString title() const;
    // The hint shown when no entry is: empty while one is.
    QString emptyHint() const;

    // Writes the fields the user changed onto the stored entry, keeping whatever else changed
    // there meanwhile (a later answer from the popup); nothing when they match what is shown.
    Commit commit(const Edits& edits);
    // Stars or unstars the shown entry at once.
    bool setFavorite(bool favorite);
    // Deletes the shown entry; the first row is shown next.
    bool removeCurrent();
    bool clearAll();

Q_SIGNALS:
    // The rows were queried anew (title, hint and shown entry may all have changed).
    void reloaded();
    // Another row is shown.
    void currentChanged();
    // The base changed since; the rows may be out of date. A burst of changes is told once.
    void storeChanged();

private:
    void show(int row);

    KnowledgeStore& m_store;
    KnowledgeListModel m_model;
    Filter m_filter = Filter::all;
    QString m_query;
    QString m_pickedId;
    int m_currentRow = -1;
    std::optional<KnowledgeEntry> m_current;
    int m_total = 0;
    int m_listener;
    std::atomic<bool> m_changeQueued = false;
};
