#include "memory/KnowledgeJournal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "settings/PrivateFile.h"

namespace {

QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

void syncDirectory(const QString& dir)
{
    const int fd = ::open(nativePath(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

QByteArray readFrom(int fd, qint64 offset)
{
    QByteArray bytes;
    char buffer[64 << 10];
    for (off_t at = offset;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return bytes;
        bytes.append(buffer, got);
        at += got;
    }
}

// What a write cut short leaves after the last line break: the start of a change line, or the
// zeros a power cut leaves in blocks the file had claimed.
bool isTornLine(QByteArrayView tail)
{
    while (!tail.isEmpty() && tail.back() == '\0')
        tail.chop(1);
    return KnowledgeCodec::isChangeLineStart(tail);
}

void cutAt(const QString& path, qint64 size)
{
    const int fd = ::open(nativePath(path).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        ::ftruncate(fd, size);
        ::close(fd);
    }
}

}

KnowledgeJournal::KnowledgeJournal(const QString& knowledgePath)
{
    m_active.path = knowledgePath + QStringLiteral(".journal");
    m_folding.path = m_active.path + QStringLiteral(".folding");
}

KnowledgeJournal::~KnowledgeJournal()
{
    close();
}

void KnowledgeJournal::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool KnowledgeJournal::readPart(Part& part, bool fromStart, QList<KnowledgeCodec::Change>& changes)
{
    if (fromStart)
        part = Part{part.path};
    const int fd = ::open(nativePath(part.path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return !part.exists;
    struct stat info { };
    if (::fstat(fd, &info) != 0 || (part.exists && (info.st_dev != part.device || info.st_ino != part.inode))
        || info.st_size < part.offset) {
        ::close(fd);
        return false;
    }
    part.exists = true;
    part.device = info.st_dev;
    part.inode = info.st_ino;
    const QByteArray bytes = S_ISREG(info.st_mode) ? readFrom(fd, part.offset) : QByteArray();
    ::close(fd);
    const qsizetype complete = bytes.lastIndexOf('\n') + 1;
    if (complete < bytes.size()) {
        // Bytes no append of ours leaves (the journal is locked while one runs): keep them
        // for the user before the journal takes its next line.
        if (!isTornLine(QByteArrayView(bytes).sliced(complete)))
            PrivateFile::copyAside(part.path);
        cutAt(part.path, part.offset + complete);
    }
    for (const QByteArray& line : bytes.first(complete).split('\n')) {
        if (line.isEmpty())
            continue;
        ++part.changes;
        bool repaired = false;
        std::optional<KnowledgeCodec::Change> change = KnowledgeCodec::decodeChange(line, &repaired);
        // A line kept only in part is kept whole for the user, with its file.
        part.damaged = part.damaged || repaired || !change;
        if (change)
            changes.append(std::move(*change));
    }
    part.offset += complete;
    return true;
}

QList<KnowledgeCodec::Change> KnowledgeJournal::read()
{
    close();
    QList<KnowledgeCodec::Change> changes;
    readPart(m_folding, true, changes);
    readPart(m_active, true, changes);
    return changes;
}

std::optional<QList<KnowledgeCodec::Change>> KnowledgeJournal::readAppended()
{
    // A folding journal never grows: it is the one read, or dropped after its fold, or another
    // process's fold changed it.
    QList<KnowledgeCodec::Change> changes;
    struct stat info { };
    const bool folding = ::lstat(nativePath(m_folding.path).constData(), &info) == 0;
    if (folding && !foldingAsRead())
        return std::nullopt;
    if (!folding)
        m_folding = Part{m_folding.path};
    if (!readPart(m_active, false, changes))
        return std::nullopt;
    return changes;
}

bool KnowledgeJournal::foldingAsRead() const
{
    struct stat info { };
    return m_folding.exists && ::lstat(nativePath(m_folding.path).constData(), &info) == 0
        && info.st_dev == m_folding.device && info.st_ino == m_folding.inode;
}

bool KnowledgeJournal::open()
{
    const QString dir = QFileInfo(m_active.path).absolutePath();
    PrivateFile::ensureDirectory(dir);
    const bool existed = m_active.exists;
    m_fd = ::open(nativePath(m_active.path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        return false;
    ::fchmod(m_fd, 0600);
    // The new journal's name must outlive a power cut as its lines do.
    if (!existed)
        syncDirectory(dir);
    return true;
}

bool KnowledgeJournal::append(const KnowledgeCodec::Change& change)
{
    struct stat opened { };
    struct stat named { };
    // The journal read last is the one to append to; one another process moved away (to fold
    // it in) takes no more lines.
    if (m_fd >= 0
        && (::fstat(m_fd, &opened) != 0 || ::stat(nativePath(m_active.path).constData(), &named) != 0
            || opened.st_dev != named.st_dev || opened.st_ino != named.st_ino))
        close();
    if (m_fd < 0 && !open())
        return false;
    struct stat before { };
    if (::fstat(m_fd, &before) != 0 || (m_active.exists && before.st_ino != m_active.inode))
        return false;
    // Leave no piece of an earlier failed line behind, so this one starts on a line of its own.
    if (before.st_size != m_active.offset && ::ftruncate(m_fd, m_active.offset) != 0)
        return false;
    const QByteArray line = KnowledgeCodec::encodeChange(change);
    if (!writeAll(m_fd, line) || ::fdatasync(m_fd) != 0) {
        if (::ftruncate(m_fd, m_active.offset) != 0)
            close();
        return false;
    }
    m_active.exists = true;
    m_active.device = before.st_dev;
    m_active.inode = before.st_ino;
    m_active.offset += line.size();
    ++m_active.changes;
    return true;
}

bool KnowledgeJournal::startFold()
{
    if (m_folding.exists)
        return false;
    close();
    // The next append creates the fresh journal and syncs the directory, which makes this
    // rename durable too.
    if (::rename(nativePath(m_active.path).constData(), nativePath(m_folding.path).constData()) != 0 && errno != ENOENT)
        return false;
    const QString activePath = m_active.path;
    m_folding = m_active;
    m_folding.path = activePath + QStringLiteral(".folding");
    m_active = Part{activePath};
    return true;
}

void KnowledgeJournal::finishFold()
{
    retire(m_folding);
}

void KnowledgeJournal::drop()
{
    close();
    retire(m_folding);
    retire(m_active);
}

void KnowledgeJournal::retire(Part& part)
{
    if (part.exists) {
        // Lines we could not read are kept for the user rather than deleted.
        if (part.damaged)
            PrivateFile::moveAside(part.path);
        else
            ::unlink(nativePath(part.path).constData());
    }
    part = Part{part.path};
}

bool KnowledgeFiles::writeInSteps(const QString& path, const QByteArray& bytes)
{
    const QFileInfo target(path);
    const QString dir = target.absolutePath();
    PrivateFile::ensureDirectory(dir);
    QTemporaryFile temp(dir + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        return false;
    const int fd = temp.handle();
    constexpr qsizetype step = 256 << 10;
    for (qsizetype done = 0; done < bytes.size(); done += step) {
        const QByteArray piece = QByteArray::fromRawData(bytes.constData() + done, std::min(step, bytes.size() - done));
        if (!writeAll(fd, piece)
            || ::sync_file_range(fd, done, piece.size(),
                                 SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER)
                != 0)
            return false;
    }
    if (::fsync(fd) != 0)
        return false;
    // The old file keeps a second name while the new one takes its place, and is then shrunk a
    // few megabytes at a time: freeing all its blocks at once would stall every other write.
    const QByteArray retired = nativePath(dir + QStringLiteral("/.") + target.fileName() + QStringLiteral(".retire"));
    ::unlink(retired.constData());
    const bool keptOld = ::link(nativePath(path).constData(), retired.constData()) == 0;
    if (::rename(nativePath(temp.fileName()).constData(), nativePath(path).constData()) != 0) {
        ::unlink(retired.constData());
        return false;
    }
    temp.setAutoRemove(false);
    syncDirectory(dir);
    if (keptOld) {
        // Never through a link, and never a file with a name of its own elsewhere: only a file
        // whose one name left is the retired one is shrunk.
        struct stat info { };
        if (const int old = ::open(retired.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC); old >= 0) {
            const bool ownedHere = ::fstat(old, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
            // Each step is committed here, so the blocks it frees (and discards, on a disk mounted
            // so) are never left for the journal's next flush to wait on.
            constexpr off_t shrinkStep = 4 << 20;
            for (off_t size = ownedHere ? ::lseek(old, 0, SEEK_END) : 0;
                 size > 0 && ::ftruncate(old, std::max<off_t>(0, size - shrinkStep)) == 0;) {
                ::fsync(old);
                size -= shrinkStep;
            }
            ::close(old);
        }
        ::unlink(retired.constData());
    }
    return true;
}
