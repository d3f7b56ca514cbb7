#pragma once

#include <QString>

// The locks every process that opens one knowledge file takes, on a lock file beside it
// (".<name>.lock", mode 0600, never removed): `files` around every read of the file and its
// journals and every change to them, `fold` around every whole-file write. A fold takes `fold`
// first, so journal appends go on while another process writes the whole file.
//
// Each lock opens the lock file anew, so threads of one process exclude each other as processes
// do. The kernel lets go of a killed holder's locks.
class KnowledgeLock {
public:
    enum class Kind { files, fold };

    // Waits for the lock. Not held when the lock file cannot be opened (a folder the user may
    // not write): a reader then goes on without it, a writer fails as its write would.
    KnowledgeLock(const QString& lockPath, Kind kind);
    ~KnowledgeLock();
    KnowledgeLock(KnowledgeLock&& other) noexcept;
    KnowledgeLock(const KnowledgeLock&) = delete;
    KnowledgeLock& operator=(const KnowledgeLock&) = delete;

    bool held() const { return m_fd >= 0; }

    // ".<name>.lock" beside the knowledge file.
    static QString pathFor(const QString& knowledgeFile);

private:
    int m_fd = -1;
};
