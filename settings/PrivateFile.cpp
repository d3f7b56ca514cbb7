#include "settings/PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include "settings/DataNotices.h"

namespace PrivateFile {

bool ensureDirectory(const QString& dir)
{
    if (QFileInfo(dir).isDir())
        return true;
    if (!QDir().mkpath(dir))
        return false;
    ::chmod(QFile::encodeName(dir).constData(), 0700);
    return true;
}

namespace {

void syncDirectory(const QString& dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A name beside the file that nothing uses yet.
QString asideName(const QString& file)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString aside = file + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = file + QStringLiteral(".corrupt-") + stamp + QLatin1Char('-') + QString::number(n);
    return aside;
}

}

QString resolved(const QString& path)
{
    QString file = QFileInfo(path).absoluteFilePath();
    // As many links as the kernel follows; a loop ends there and fails at the write.
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(file);
        if (!info.isSymLink())
            break;
        file = QDir::cleanPath(info.absoluteDir().absoluteFilePath(info.symLinkTarget()));
    }
    return file;
}

bool writeAtomically(const QString& path, const QByteArray& bytes)
{
    const QFileInfo target(resolved(path));
    const QString dir = target.absolutePath();
    // QTemporaryFile creates its file with mode 0600, so the data is never readable by others.
    QTemporaryFile temp(dir + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        return false;
    if (temp.write(bytes) != bytes.size() || !temp.flush() || ::fsync(temp.handle()) != 0)
        return false;
    const QByteArray from = QFile::encodeName(temp.fileName());
    const QByteArray to = QFile::encodeName(target.absoluteFilePath());
    if (::rename(from.constData(), to.constData()) != 0)
        return false;
    temp.setAutoRemove(false);
    ::chmod(to.constData(), 0600);
    syncDirectory(dir);
    return true;
}

QString moveAside(const QString& path)
{
    const QString file = resolved(path);
    const QString aside = asideName(file);
    if (::rename(QFile::encodeName(file).constData(), QFile::encodeName(aside).constData()) != 0)
        return {};
    DataNotices::fileKeptAside(path, aside);
    return aside;
}

QString copyAside(const QString& path)
{
    const QString file = resolved(path);
    QFile original(file);
    if (!original.open(QIODevice::ReadOnly))
        return {};
    const QString aside = asideName(file);
    if (!writeAtomically(aside, original.readAll()))
        return {};
    DataNotices::fileKeptAside(path, aside);
    return aside;
}

}
