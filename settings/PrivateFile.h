#pragma once

#include <QByteArray>
#include <QString>

// Files of the user's own data: written whole and atomically, readable only by the user,
// and never silently replaced when they could not be understood.
//
// A file that is a symbolic link (a base kept in a synced folder) is written where the link
// points: the link stays a link, and the file it names is replaced whole, never truncated.
namespace PrivateFile {

// Creates the directory (and parents); a directory created here gets mode 0700.
bool ensureDirectory(const QString& dir);

// The file that `path` names once its symbolic links are followed, as an absolute path; the
// path itself when it is no link. A dangling link gives the path it points at.
QString resolved(const QString& path);

// Writes the bytes to a temporary file (mode 0600) beside the file `path` resolves to, flushes
// it to disk and renames it over that file. A crash at any moment leaves either the old or the
// new file.
bool writeAtomically(const QString& path, const QByteArray& bytes);

// Renames the file `path` resolves to "<file>.corrupt-<UTC time>" so a file we cannot decode is
// kept for the user instead of being overwritten, and records a notice for the user. Returns
// the new path, or an empty string on failure.
QString moveAside(const QString& path);

// The same, but keeps the file in place and puts an untouched copy aside: for a file of which
// only a part could be read and which is about to be rewritten with the rest.
QString copyAside(const QString& path);

}
