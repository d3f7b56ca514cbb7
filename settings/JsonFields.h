#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

// Field-by-field reading of stored JSON records: each reader leaves `out` at its default when
// the key is missing or null, and fails on a value of another type, so a file of an older
// version loads while a damaged one is recognised.
namespace JsonFields {

// The document of a stored file, or an empty one for text that is not JSON. Text that parses
// only once its bytes that are not UTF-8 became U+FFFD parses so, and `repaired` says that it
// had to: a stray byte never costs the whole record.
QJsonDocument parse(const QByteArray& json, bool& repaired);

bool read(const QJsonObject& object, const QString& key, QString& out);
bool read(const QJsonObject& object, const QString& key, bool& out);
// Whole numbers within the type's range only.
bool read(const QJsonObject& object, const QString& key, int& out);
bool read(const QJsonObject& object, const QString& key, quint32& out);
bool read(const QJsonObject& object, const QString& key, double& out);
// ISO 8601 internet date-time (see IsoDate).
bool read(const QJsonObject& object, const QString& key, QDateTime& out);

}
