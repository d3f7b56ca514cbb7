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

// The file's bytes up to its last line break; whatever follows is cut off the file: a line cut
// short is a change whose append never returned, so it was never made.
QByteArray completeLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const qsizetype complete = bytes.lastIndexOf('\n') + 1;
    if (complete < bytes.size())
        ::truncate(nativePath(path).constData(), complete);
    return bytes.first(complete);
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

}

KnowledgeJournal::KnowledgeJournal(const QString& knowledgePath)
    : m_path(knowledgePath + QStringLiteral(".journal"))
    , m_foldingPath(m_path + QStringLiteral(".folding"))
{
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

QList<KnowledgeCodec::Change> KnowledgeJournal::read()
{
    close();
    m_changes = 0;
    m_bytes = 0;
    m_damaged = false;
    QList<KnowledgeCodec::Change> changes;
    for (const QString& path : {m_foldingPath, m_path}) {
        const QByteArray bytes = completeLines(path);
        int lines = 0;
        for (const QByteArray& line : bytes.split('\n')) {
            if (line.isEmpty())
                continue;
            ++lines;
            if (std::optional<KnowledgeCodec::Change> change = KnowledgeCodec::decodeChange(line))
                changes.append(std::move(*change));
            else
                m_damaged = true;
        }
        if (path == m_path) {
            m_changes = lines;
            m_bytes = bytes.size();
        }
    }
    return changes;
}

bool KnowledgeJournal::open()
{
    const QString dir = QFileInfo(m_path).absolutePath();
    PrivateFile::ensureDirectory(dir);
    const bool existed = QFileInfo::exists(m_path);
    m_fd = ::open(nativePath(m_path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return false;
    ::fchmod(m_fd, 0600);
    // The new journal's name must outlive a power cut as its lines do.
    if (!existed)
        syncDirectory(dir);
    else
        completeLines(m_path); // after an append that failed and could not take its piece back
    return true;
}

bool KnowledgeJournal::append(const KnowledgeCodec::Change& change)
{
    struct stat before {};
    // A journal another process has folded in and removed takes no more lines.
    if (m_fd >= 0 && ::fstat(m_fd, &before) == 0 && before.st_nlink == 0)
        close();
    if (m_fd < 0 && !open())
        return false;
    if (::fstat(m_fd, &before) != 0)
        return false;
    const QByteArray line = KnowledgeCodec::encodeChange(change);
    if (!writeAll(m_fd, line) || ::fdatasync(m_fd) != 0) {
        // Leave no piece of the line behind, so the next change starts on a line of its own;
        // failing that, the next change opens the journal again, which trims it.
        if (::ftruncate(m_fd, before.st_size) != 0)
            close();
        return false;
    }
    ++m_changes;
    m_bytes += line.size();
    return true;
}

bool KnowledgeJournal::isEmpty() const
{
    return m_changes == 0 && !QFileInfo::exists(m_foldingPath);
}

bool KnowledgeJournal::startFold()
{
    if (QFileInfo::exists(m_foldingPath))
        return false;
    close();
    // The next append creates the fresh journal and syncs the directory, which makes this
    // rename durable too.
    if (::rename(nativePath(m_path).constData(), nativePath(m_foldingPath).constData()) != 0 && errno != ENOENT)
        return false;
    m_changes = 0;
    m_bytes = 0;
    return true;
}

void KnowledgeJournal::finishFold()
{
    retire(m_foldingPath);
}

void KnowledgeJournal::drop()
{
    close();
    retire(m_foldingPath);
    retire(m_path);
    m_changes = 0;
    m_bytes = 0;
    m_damaged = false;
}

void KnowledgeJournal::retire(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    // Lines we could not read are kept for the user rather than deleted.
    if (m_damaged)
        PrivateFile::moveAside(path);
    else
        ::unlink(nativePath(path).constData());
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
                                 SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER) != 0)
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
        if (const int old = ::open(retired.constData(), O_WRONLY | O_CLOEXEC); old >= 0) {
            // Each step is committed here, so the blocks it frees (and discards, on a disk mounted
            // so) are never left for the journal's next flush to wait on.
            constexpr off_t shrinkStep = 4 << 20;
            for (off_t size = ::lseek(old, 0, SEEK_END); size > 0 && ::ftruncate(old, std::max<off_t>(0, size - shrinkStep)) == 0;) {
                ::fsync(old);
                size -= shrinkStep;
            }
            ::close(old);
        }
        ::unlink(retired.constData());
    }
    return true;
}
