#pragma once

#include <QString>
#include <QStringList>

// What the user must hear about their own files: a file that could not be read and was kept
// aside, or a setting that was ignored. Any layer records; the front end (stderr for the command
// line, a notice in the tray application) takes each one once. Thread-safe.
namespace DataNotices {

// `path` could not be read; the untouched original now lies at `keptAs`.
void fileKeptAside(const QString& path, const QString& keptAs);
// The setting `key` of the file at `path` could not be used; its default stands in.
void settingIgnored(const QString& path, const QString& key);

// The notices recorded since the last call, in the interface language, oldest first.
QStringList take();

}
