#pragma once

#include <mutex>
#include <optional>
#include <stop_token>

#include <QHash>
#include <QList>
#include <QString>

#include "memory/KnowledgeEntry.h"
#include "memory/SentenceEmbedder.h"

class SemanticRecall;

// The one owner of the knowledge base file: a JSON array of entries in insertion order. Every
// operation holds one mutex for its whole run, so operations never interleave and each sees all
// earlier ones; every change is on disk (written whole and atomically) when the call returns.
// No operation may call another from inside. Lists come back newest updatedAt first.
class KnowledgeStore {
public:
    // An earlier lookup of the same or a similar text.
    struct RecallHit {
        int count = 0;        // matching lookups; always 1 for a semantic hit
        KnowledgeEntry latest; // the one to show
        bool semantic = false;
    };

    // A semantic hit needs at least this cosine similarity.
    static constexpr double semanticThreshold = 0.8;

    // SELVANE_KNOWLEDGE_FILE when set and not empty, else ~/.selvane/knowledge.json.
    static QString defaultPath();

    // Reads the file now. A file that exists but cannot be read or decoded gives an empty store
    // and is moved aside ("<file>.corrupt-<UTC time>") before the first write replaces it.
    explicit KnowledgeStore(const QString& path, SemanticRecall& semantic);

    KnowledgeStore(const KnowledgeStore&) = delete;
    KnowledgeStore& operator=(const KnowledgeStore&) = delete;

    QString path() const { return m_path; }

    QList<KnowledgeEntry> all() const;
    int count() const;

    // Appends a lookup record and returns its id.
    QString add(const QString& action, const QString& sourceText, const QString& resultText, const QString& appName);
    // Appends a collected snippet whose note is the source label, and returns its id.
    QString addCollection(const QString& sourceText, const QString& source, const QString& appName);

    // Collected snippets whose text, source label or category contains the query (trimmed,
    // any case); all of them for an empty query.
    QList<KnowledgeEntry> collections(const QString& query) const;
    // Lookup records whose source, result, note or action contains the query (trimmed, any
    // case); all of them for an empty query; only starred ones with favoritesOnly.
    QList<KnowledgeEntry> search(const QString& query, bool favoritesOnly) const;

    std::optional<KnowledgeEntry> entry(const QString& id) const;

    // Replaces the first entry with the same id, stamping updatedAt; no such id: nothing happens.
    void update(const KnowledgeEntry& changed);
    // Sets only the answer (and updatedAt) of that entry; no such id: nothing happens.
    void updateResult(const QString& id, const QString& resultText);
    // Flips the star and returns its new state; false when no entry has that id.
    bool toggleFavorite(const QString& id);
    // Removes every entry with that id.
    void remove(const QString& id);
    void clearAll();

    // Writes every entry, newest first, to a file the user chose (its permissions are left to
    // the user's defaults). False when it could not be written.
    bool exportJSON(const QString& path) const;

    // Replaces the entries with the file's content.
    void reloadFromDisk();

    // The earlier lookups of this text, leaving out the entry `excluding`: exact matches of the
    // normalised texts first, else the semantically closest one at or above the threshold.
    // The semantic layer may ask the embedding service for vectors, so call it off the GUI thread;
    // a stop request ends it with no hit.
    std::optional<RecallHit> recall(const QString& text, const QString& excluding = {}, std::stop_token stop = {});

    // Runs of white space become one space, ends are trimmed, letters lower-cased.
    static QString normalize(const QString& text);

private:
    // An entry with what the store derives from it once instead of at every call.
    struct Stored {
        explicit Stored(KnowledgeEntry entry);
        KnowledgeEntry entry;
        QString normalizedSource; // for recall
        bool recallable;          // a lookup whose normalised source has at least 2 characters
        QByteArray json;          // its part of the file; empty until the next write needs it
    };

    // Stores a new entry under a fresh id, stamped now, and returns the id.
    QString append(KnowledgeEntry entry);
    void loadLocked();
    void writeLocked();
    QList<KnowledgeEntry> newestFirstLocked(bool (*keep)(const KnowledgeEntry&, const QString&),
                                            const QString& query) const;
    // The position of the first entry with that id, or -1.
    qsizetype indexLocked(const QString& id) const;
    // Replaces the entry at `index` with `changed`, stamped now, and writes the file.
    void replaceLocked(qsizetype index, KnowledgeEntry changed);
    std::optional<RecallHit> exactRecallLocked(const QString& normalized, const QString& excluding) const;
    QList<KnowledgeEntry> semanticCandidatesLocked(const QString& excluding) const;
    std::optional<RecallHit> semanticRecall(const QString& text, const QString& excluding, std::stop_token stop);
    std::optional<Embedding> cachedEmbedding(const QString& sourceText);

    const QString m_path;
    SemanticRecall& m_semantic;

    mutable std::mutex m_mutex;
    QList<Stored> m_entries;
    bool m_moveAsideBeforeWrite = false;

    // Vectors of source texts, kept for the life of the store; held only while the map is read
    // or written, never while a vector is computed.
    std::mutex m_embedCacheLock;
    QHash<QString, Embedding> m_sourceEmbedCache;
};
