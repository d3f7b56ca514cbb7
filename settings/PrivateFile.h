#pragma once

#include <QByteArray>
#include <QString>

// Files of the user's own data: written whole and atomically, readable only by the user,
// and never silently replaced when they could not be understood.
namespace PrivateFile {

// Creates the directory (and parents); a directory created here gets mode 0700.
bool ensureDirectory(const QString& dir);

// Writes the bytes to a temporary file (mode 0600) beside `path`, flushes it to disk and
// renames it over `path`. A crash at any moment leaves either the old or the new file.
bool writeAtomically(const QString& path, const QByteArray& bytes);

// Renames `path` to "<path>.corrupt-<UTC time>" so a file we cannot decode is kept for the
// user instead of being overwritten. Returns the new path, or an empty string on failure.
QString moveAside(const QString& path);

}
