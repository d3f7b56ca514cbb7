#pragma once

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes the bytes, creating missing parent directories; false on failure.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The same, as an executable only its owner may change.
inline bool writeExecutable(const QString& path, const QByteArray& bytes)
{
    return writeFile(path, bytes)
        && QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The permission bits (for example 0600), or -1 when the path does not exist.
inline int posixMode(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}
