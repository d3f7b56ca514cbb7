#pragma once

#include <QList>
#include <QString>

#include "memory/KnowledgeCodec.h"

// The changes made to the knowledge file since it was last written whole: one line per change
// in "<file>.journal" (mode 0600), each flushed to disk before the change counts as made.
//
// Folding the journal into the file first moves the active journal aside to
// "<file>.journal.folding", so the changes made while the file is written go to a fresh one.
// Replaying a journal onto a file that already holds its changes gives the same entries again
// (ids are never reused, an add of a present id replaces it in place), so a crash between writing
// the file and dropping a journal neither loses nor doubles anything.
//
// Not thread-safe: its owner serialises every call.
class KnowledgeJournal {
public:
    explicit KnowledgeJournal(const QString& knowledgePath);
    ~KnowledgeJournal();
    KnowledgeJournal(const KnowledgeJournal&) = delete;
    KnowledgeJournal& operator=(const KnowledgeJournal&) = delete;

    // The changes of the folding journal, then of the active one. A last line without its line
    // break (a write cut short) is no change and is cut off the file; a complete line that does
    // not decode is skipped and its file kept aside when the journal is next dropped.
    QList<KnowledgeCodec::Change> read();

    // Appends the change and flushes it to disk, creating the directory and the journal when
    // needed; false when it is not on disk (nothing of it is then left in the journal).
    bool append(const KnowledgeCodec::Change& change);

    // Changes in the active journal, and its size.
    int activeChanges() const { return m_changes; }
    qint64 activeBytes() const { return m_bytes; }
    // Whether any change waits to be folded in.
    bool isEmpty() const;

    // Makes the active journal the folding one and starts a fresh active one, unless an earlier
    // fold failed and its folding journal is still there: then both stay. True when it did.
    bool startFold();
    // The file now holds every change of the folding journal.
    void finishFold();
    // The file now holds every change of both journals.
    void drop();

private:
    void close();
    bool open();
    void retire(const QString& path);

    const QString m_path;
    const QString m_foldingPath;
    int m_fd = -1;
    int m_changes = 0;
    qint64 m_bytes = 0;
    bool m_damaged = false;
};

namespace KnowledgeFiles {

// Writes the bytes over `path` as PrivateFile::writeAtomically does (a temporary file of mode
// 0600 beside it, "." + name + ".XXXXXX", flushed and renamed over it), but a quarter megabyte
// at a time, each on the disk before the next: written at once, a large file would hold every
// flush of the journal up behind it. A killed write may leave "." + name + ".XXXXXX" or
// "." + name + ".retire" behind.
bool writeInSteps(const QString& path, const QByteArray& bytes);

}
