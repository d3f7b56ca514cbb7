#pragma once

#include <sys/types.h>

#include <optional>

#include <QList>
#include <QString>

#include "memory/KnowledgeCodec.h"

// The changes made to the knowledge file since it was last written whole: one line per change
// in "<file>.journal" (mode 0600), each flushed to disk before the change counts as made. Every
// process that opens the file appends to the same journal, under the files lock
// (KnowledgeLock), and reads what the others appended.
//
// Folding the journal into the file first moves the active journal aside to
// "<file>.journal.folding", so the changes made while the file is written go to a fresh one.
// Replaying a journal onto a file that already holds its changes gives the same entries again
// (ids are never reused, an add of a present id replaces it in place), so a crash between writing
// the file and dropping a journal neither loses nor doubles anything.
//
// Not thread-safe: its owner serialises every call and holds the files lock for each.
class KnowledgeJournal {
public:
    explicit KnowledgeJournal(const QString& knowledgePath);
    ~KnowledgeJournal();
    KnowledgeJournal(const KnowledgeJournal&) = delete;
    KnowledgeJournal& operator=(const KnowledgeJournal&) = delete;

    // The changes of the folding journal, then of the active one, from their starts. A last line
    // without its line break is cut off the file: a torn write (a line cut short, a zero-filled
    // tail) was never a change, and anything else there is first kept aside for the user. A
    // complete line that does not decode is skipped, and its file kept aside when it is dropped.
    QList<KnowledgeCodec::Change> read();
    // Only the changes appended since the last read, while the journals are still the files then
    // read (a folding journal may have been dropped: its changes are in the file then); nothing
    // when another process folded them in meanwhile, and the caller reads anew.
    std::optional<QList<KnowledgeCodec::Change>> readAppended();
    // Whether the folding journal last read is still there, unchanged: a file replaced meanwhile
    // was then replaced by a fold of it, and holds the same entries.
    bool foldingAsRead() const;

    // Appends the change and flushes it to disk, creating the directory and the journal when
    // needed; false when it is not on disk (nothing of it is then left in the journal). The
    // journals must have been read just before, under the same lock.
    bool append(const KnowledgeCodec::Change& change);

    // Changes in the active journal, and its size.
    int activeChanges() const { return m_active.changes; }
    qint64 activeBytes() const { return m_active.offset; }
    // Whether any change waits to be folded in.
    bool isEmpty() const { return m_active.changes == 0 && !m_folding.exists; }

    // Makes the active journal the folding one and starts a fresh active one, unless an earlier
    // fold failed and its folding journal is still there: then both stay. True when it did.
    bool startFold();
    // The file now holds every change of the folding journal.
    void finishFold();
    // The file now holds every change of both journals.
    void drop();

private:
    // One journal file as last read.
    struct Part {
        QString path;
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        qint64 offset = 0; // the end of its last complete line
        int changes = 0;   // its complete lines
        bool damaged = false;
    };

    // Reads the part from its start, or from where it was read last; false when it is no longer
    // the file read then.
    bool readPart(Part& part, bool fromStart, QList<KnowledgeCodec::Change>& changes);
    void close();
    bool open();
    void retire(Part& part);

    Part m_active;
    Part m_folding;
    int m_fd = -1;
};

namespace KnowledgeFiles {

// Writes the bytes over `path` as PrivateFile::writeAtomically does (a temporary file of mode
// 0600 beside it, "." + name + ".XXXXXX", flushed and renamed over it), but a quarter megabyte
// at a time, each on the disk before the next: written at once, a large file would hold every
// flush of the journal up behind it. `path` is a resolved path, no link. A killed write may
// leave "." + name + ".XXXXXX" or "." + name + ".retire" behind.
bool writeInSteps(const QString& path, const QByteArray& bytes);

}
