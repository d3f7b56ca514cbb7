#include "memory/KnowledgeLock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include <QFile>
#include <QFileInfo>

KnowledgeLock::KnowledgeLock(const QString& lockPath, Kind kind)
{
    m_fd = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0)
        return;
    // Open-file-description locks on one byte each: owned by this open, not by the process.
    struct flock range { };
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = kind == Kind::files ? 0 : 1;
    range.l_len = 1;
    int result;
    while ((result = ::fcntl(m_fd, F_OFD_SETLKW, &range)) != 0 && errno == EINTR) { }
    if (result != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

KnowledgeLock::KnowledgeLock(KnowledgeLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
{
}

KnowledgeLock::~KnowledgeLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString KnowledgeLock::pathFor(const QString& knowledgeFile)
{
    const QFileInfo file(knowledgeFile);
    return file.absolutePath() + QStringLiteral("/.") + file.fileName() + QStringLiteral(".lock");
}
