#pragma once

#include <functional>

#include <QString>
#include <QStringList>

// What the user must hear about their own files: a file that could not be read and was kept
// aside, or a setting that was ignored. Any layer records; the front end (stderr for the command
// line, a notice in the tray application) takes each one once. Thread-safe.
namespace DataNotices {

// `path` could not be read; the untouched original now lies at `keptAs`.
void fileKeptAside(const QString& path, const QString& keptAs);
// `path` could not be read and could not be moved aside either; defaults stand in and the file
// is left as it is.
void fileUnreadable(const QString& path);
// The setting `key` of the file at `path` could not be used; its default stands in.
void settingIgnored(const QString& path, const QString& key);

// The notices recorded since the last call (each once), in the interface language, oldest first.
QStringList take();

// Called after each new notice, on the recording thread and under the notices' lock (so it
// must only hand the news on, for example by posting to its own thread). An empty function
// removes it; once that returns, the old one is not running and never runs again.
void setListener(std::function<void()> listener);

}
