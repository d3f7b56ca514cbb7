#include "tray/InstanceLock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

#include <QFile>
#include <QFileInfo>

#include "settings/HomeDir.h"

namespace {

// The display the tray serves: its shortcuts and its windows belong to it.
QString displayKey()
{
    QByteArray display = qgetenv("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qgetenv("DISPLAY");
    if (display.isEmpty())
        display = "none";
    QString key;
    for (const char c : display)
        key += std::isalnum(uchar(c)) || c == '.' || c == '-' ? QLatin1Char(c) : QLatin1Char('_');
    return key;
}

QString runtimeDir()
{
    const QString dir = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    return !dir.isEmpty() && QFileInfo(dir).isAbsolute() && QFileInfo(dir).isDir() ? dir : QString();
}

struct flock wholeFile(short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock; // start 0, length 0: the whole file; pid 0, as open-file-description locks ask
}

}

InstanceLock::~InstanceLock()
{
    release();
}

QString InstanceLock::path()
{
    const QString name = QStringLiteral("quillo-instance-") + displayKey() + QStringLiteral(".lock");
    const QString runtime = runtimeDir();
    return (runtime.isEmpty() ? HomeDir::dataDir() : runtime) + QLatin1Char('/') + name;
}

InstanceLock::Outcome InstanceLock::acquire()
{
    if (m_fd >= 0)
        return Outcome::acquired;
    if (runtimeDir().isEmpty() && !HomeDir::ensureDataDir())
        return Outcome::unavailable;
    const int fd = ::open(QFile::encodeName(path()).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Outcome::unavailable;
    struct flock lock = wholeFile(F_WRLCK);
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        const bool held = errno == EAGAIN || errno == EACCES;
        ::close(fd);
        return held ? Outcome::heldElsewhere : Outcome::unavailable;
    }
    m_fd = fd;
    return Outcome::acquired;
}

void InstanceLock::release()
{
    if (m_fd < 0)
        return;
    ::close(m_fd); // closing the only descriptor of the description lets the lock go
    m_fd = -1;
}

bool InstanceLock::heldElsewhere()
{
    const int fd = ::open(QFile::encodeName(path()).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct flock lock = wholeFile(F_WRLCK);
    const bool held = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return held;
}
