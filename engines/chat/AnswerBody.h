#pragma once

#include <optional>
#include <variant>

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Reading the body of an engine's answer as a strict decoder would: a key may be absent or
// null, but a key of the wrong type makes the whole answer undecodable.
namespace AnswerBody {

// The body as text, or none when it is not valid UTF-8.
std::optional<QString> utf8(const QByteArray& body);

// The bytes with every invalid UTF-8 sequence replaced by U+FFFD, so a damaged character shows
// as one instead of taking the text around it away.
QByteArray repairedUtf8(const QByteArray& bytes);

// An error body as text, each of its lines (without a carriage return) followed by a line feed.
QString lines(const QByteArray& body);

// The body as a JSON object, or why it is not one.
std::variant<QJsonObject, QString> object(const QByteArray& body);

// Whether `key` of `object` is absent, null or of `type`; otherwise `problem` is set.
bool fits(const QJsonObject& object, const QString& key, QJsonValue::Type type, QString& problem);

}
