#pragma once

#include <QByteArray>
#include <QString>

// Small file helpers for tests.
QByteArray readFile(const QString& path);
// Writes the bytes, creating missing parent directories; false on failure.
bool writeFile(const QString& path, const QByteArray& bytes);
// The same, as an executable only its owner may change.
bool writeExecutable(const QString& path, const QByteArray& bytes);
// The permission bits (for example 0600), or -1 when the path does not exist.
int posixMode(const QString& path);
