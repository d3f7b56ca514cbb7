#pragma once

#include <atomic>
#include <bitset>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <sys/stat.h>

#include "core/TaskPool.h"
#include "memory/KnowledgeEntry.h"
#include "memory/KnowledgeJournal.h"
#include "memory/KnowledgeLock.h"
#include "memory/SentenceEmbedder.h"

class FolderWatch;
class SemanticRecall;

// The one owner of the knowledge base file: a pretty JSON array of entries in insertion order.
// Every operation holds one mutex for its run, so operations never interleave and each sees all
// earlier ones; no operation may call another from inside. Lists come back newest updatedAt first.
//
// A change is on disk when the call reports it done: it is appended to the journal beside the
// file and flushed (a few milliseconds, whatever the size of the base). The journal is folded
// into the file when the store opens and closes, and on a background thread of the store's own
// once it holds foldAfterChanges changes or 8 MB; the thread that calls the store never waits
// for the whole file to be written, except in clearAll, or while another process opens or
// closes the same base. A change that catches up with another process's fold reads the whole
// file again. A killed process loses no change that was reported done, and leaves no file the
// next start cannot read.
//
// Any number of processes may open the same file (quillo --ask beside the tray, a second session
// on the same home) and change it at once: every journal append and every fold holds a lock on
// a file beside the base (KnowledgeLock), each change first catches up with what the others
// journalled, and a fold writes what the files and journals hold together, never only what one
// process had seen. Changes by other processes are read soon after they are made (the folder
// is watched) and announced like this store's own.
//
// A knowledge file that is a symbolic link is resolved once: the journal, the lock and the whole
// file writes go beside the file it names, which is replaced whole, and the link stays.
class KnowledgeStore {
public:
    // An earlier lookup of the same or a similar text.
    struct RecallHit {
        int count = 0;         // matching lookups; always 1 for a semantic hit
        KnowledgeEntry latest; // the one to show
        bool semantic = false;
    };

    using ChangeListener = std::function<void()>;

    // A semantic hit needs at least this cosine similarity.
    static constexpr double semanticThreshold = 0.8;
    static constexpr int defaultFoldAfterChanges = 1000;
    static constexpr qint64 foldAfterBytes = 8 << 20;

    // SELVANE_KNOWLEDGE_FILE when set and not empty, else ~/.selvane/knowledge.json.
    static QString defaultPath();

    // Reads the file and its journal now, folds the journal in, and removes what a killed fold
    // left behind. The file is read entry by entry: entries that cannot be read are left out
    // and the untouched original is copied aside ("<file>.corrupt-<UTC time>"); a file that
    // cannot be read at all gives a store holding only the journal's changes, and is moved
    // aside. Either happens before the file is next written, and is told through DataNotices.
    explicit KnowledgeStore(const QString& path, SemanticRecall& semantic,
                            int foldAfterChanges = defaultFoldAfterChanges);
    // Waits for a fold under way; the journal keeps whatever it has not folded.
    ~KnowledgeStore();

    KnowledgeStore(const KnowledgeStore&) = delete;
    KnowledgeStore& operator=(const KnowledgeStore&) = delete;

    QString path() const { return m_path; }

    QList<KnowledgeEntry> all() const;
    int count() const;

    // Every change below reports whether it is on disk. One that is not is not kept in memory
    // either, so what the store holds is always what the next start will read.

    // Appends a lookup record and returns its id.
    std::optional<QString> add(const QString& action, const QString& sourceText, const QString& resultText,
                               const QString& appName);
    // Appends a collected snippet whose note is the source label, and returns its id.
    std::optional<QString> addCollection(const QString& sourceText, const QString& source, const QString& appName);

    // Lookup records, only the starred ones, or collected snippets.
    enum class Listing { lookups, favorites, snippets };
    // The entries of that listing with the query (trimmed, any case) in a lookup's source,
    // result, note or action, or a snippet's text, source label or category; all of them for
    // an empty query. They are shared with the store, so a listing of tens of thousands copies
    // none, and one made while the base is unchanged sorts nothing.
    QList<SharedEntry> list(Listing listing, const QString& query) const;
    // The snippets that list(Listing::snippets, query) holds, copied.
    QList<KnowledgeEntry> collections(const QString& query) const;

    std::optional<KnowledgeEntry> entry(const QString& id) const;

    // Replaces the first entry with the same id, stamping updatedAt. False when no entry has the
    // id or the change is not on disk.
    bool update(const KnowledgeEntry& changed);
    // Sets only the answer (and updatedAt) of that entry; false as for update.
    bool updateResult(const QString& id, const QString& resultText);
    // Flips the star and returns its new state; nothing when no entry has that id or the change
    // is not on disk.
    std::optional<bool> toggleFavorite(const QString& id);
    // Removes every entry with that id; false only when that is not on disk (an unknown id is
    // no failure).
    bool remove(const QString& id);
    // Empties the store and writes an empty array to the file, so nothing cleared lingers on
    // disk; false when the store could not be emptied on disk.
    bool clearAll();

    // Writes every entry, newest first, to a file the user chose (its permissions are left to
    // the user's defaults). False when it could not be written.
    bool exportJSON(const QString& path) const;

    // Replaces the entries with the file's content and its journal's changes.
    void reloadFromDisk();

    // The listener is called after every change that was made, including reloads and changes
    // read from other processes, on the thread that made or read it (the store's own watch
    // thread for the latter) and without the store's lock held, so it may read the store. Announcements
    // never overlap; once removeChangeListener returns, its listener is not running and is
    // never called again. A listener must not wait for another thread that may be changing
    // the store.
    int addChangeListener(ChangeListener listener);
    void removeChangeListener(int id);

    // The earlier lookups of this text, leaving out the entry `excluding`: exact matches of the
    // normalised texts first, else the semantically closest one at or above the threshold.
    // The semantic layer may ask the embedding service for vectors, so call it off the GUI thread;
    // a stop request ends it at once with no hit.
    std::optional<RecallHit> recall(const QString& text, const QString& excluding = {}, std::stop_token stop = {});

    // Runs of white space become one space, ends are trimmed, letters lower-cased.
    static QString normalize(const QString& text);

private:
    // An entry with what the store derives from it once instead of at every call. Shared
    // between the live list and a fold's snapshot, so its entry never changes once made.
    struct Stored {
        explicit Stored(KnowledgeEntry entry);
        // The texts its kind is searched by, lower-cased so a search lowers only the query. Made
        // at the first search, under the store's lock, rather than when the base is read, which
        // every start and `quillo --ask` does; a fold's writer never reads them.
        const QStringList& searched() const;
        // Whether a lower-cased query is in one of those texts; true for an empty one.
        bool matches(const QString& loweredQuery) const;
        const KnowledgeEntry entry;
        mutable std::optional<QStringList> searchedTexts;
        const QString normalizedSource; // for recall
        const bool recallable;          // a lookup whose normalised source has at least 2 characters
        mutable QByteArray json;        // its part of the file; touched only by the file's writer
    };
    // Which characters texts hold, roughly: one bit for each ASCII character and one for each
    // group of the others.
    using Characters = std::bitset<256>;
    static Characters charactersOf(const QStringList& texts);
    // A place in the list: the entry with a hash of its id, its time for ordering and the
    // characters it is searched by, so a look-up by id, a sort, or a search passing over the
    // entries that lack a character of the query reads one contiguous array instead of the
    // memory of every entry.
    struct Slot {
        explicit Slot(KnowledgeEntry entry);
        const Stored* operator->() const { return stored.get(); }
        // Those of stored->searched(), made with them.
        const Characters& characters() const;
        size_t idHash;
        qint64 updated; // updatedAt in ms since the epoch; an invalid time before every valid one
        std::shared_ptr<const Stored> stored;
        mutable std::optional<Characters> searchedCharacters;
    };
    using StoredList = QList<Slot>;

    // Stores a new entry under a fresh id, stamped now, and returns the id.
    std::optional<QString> append(KnowledgeEntry entry);
    // Applies `edit` to the entry with that id, stamps it and makes the change; the entry as
    // changed, or nothing.
    std::optional<KnowledgeEntry> change(const QString& id, const std::function<void(KnowledgeEntry&)>& edit);
    // What identifies the file's content without reading it.
    struct FileStamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        static FileStamp of(const QString& path);
        bool operator==(const FileStamp& other) const;
    };
    // What must happen to the file as read before it is next written.
    enum class Keep { nothing, moveAside, copyAside };

    // The files lock, creating the folder when it is missing.
    KnowledgeLock lockFiles() const;
    // The files lock, with the entries caught up with the files (syncLocked).
    KnowledgeLock catchUpLocked();
    // Journals the change, then applies it; false (and nothing applied) when it is not on disk.
    // The caller holds the files lock and has caught up with the files.
    bool commitLocked(const KnowledgeCodec::Change& change);
    void applyLocked(const KnowledgeCodec::Change& change);
    void loadLocked();
    // Catches up with what the file and journals hold now: only the appended lines while the
    // files are those read, else everything anew. The caller holds the files lock.
    void syncLocked();
    // Keeps the file as read for the user, as loading found it needed; false when it could not.
    bool keepOriginalLocked();
    // Writes the entries as the whole file; the caller holds m_writing.
    bool writeFile(const StoredList& entries, std::stop_token stop = {});
    // Writes the whole file now and drops the journals, holding every lock throughout; at open,
    // at close and after clearAll.
    void foldNow();
    void foldLaterLocked();
    void fold(std::stop_token stop);
    // What the watch thread does when another process (or this one) touched the files.
    void syncFromDisk();
    void announceChange();
    // Announces what catching up with the files brought, if anything.
    void announceIfChanged();

    // The entries of a kind that match the query, newest first.
    QList<SharedEntry> newestFirstLocked(bool (*isOfKind)(const KnowledgeEntry&), const QString& query) const;
    // The position of the first entry with that id, or -1.
    qsizetype indexLocked(const QString& id) const;
    std::optional<RecallHit> exactRecallLocked(const QString& normalized, const QString& excluding) const;
    QList<KnowledgeEntry> semanticCandidatesLocked(const QString& excluding) const;
    std::optional<RecallHit> semanticRecall(const QString& text, const QString& excluding, std::stop_token stop);
    std::optional<Embedding> cachedEmbedding(const QString& sourceText, std::stop_token stop);

    const QString m_path;
    const QString m_file; // m_path resolved once
    const QString m_lockPath;
    SemanticRecall& m_semantic;
    const int m_foldAfterChanges;

    // Held by whoever writes the whole file (a fold, clearAll, a reload), always before m_mutex.
    std::mutex m_writing;

    mutable std::mutex m_mutex;
    StoredList m_entries;
    // Positions in m_entries, newest updatedAt first and equal times in stored order. Emptied by
    // every change and sorted again by the next listing, so a search while typing sorts nothing.
    mutable QList<qsizetype> m_newestFirst;
    KnowledgeJournal m_journal;
    FileStamp m_fileSeen;
    Keep m_keepOriginal = Keep::nothing;
    // Catching up brought changes not announced yet.
    std::atomic<bool> m_unannounced = false;
    bool m_foldPending = false;
    int m_foldAtChanges;
    qint64 m_foldAtBytes = foldAfterBytes;

    std::recursive_mutex m_listenerLock;
    std::map<int, ChangeListener> m_listeners;
    int m_nextListener = 0;

    // Vectors of source texts, kept for the life of the store; held only while the map is read
    // or written, never while a vector is computed.
    std::mutex m_embedCacheLock;
    QHash<QString, Embedding> m_sourceEmbedCache;

    // Last, so it is shut down (a running fold finished) before anything above goes away.
    TaskPool m_folds{1};
    std::unique_ptr<FolderWatch> m_watch;
};
