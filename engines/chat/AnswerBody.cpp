#include "engines/chat/AnswerBody.h"

#include <QJsonDocument>
#include <QStringDecoder>

namespace AnswerBody {

std::optional<QString> utf8(const QByteArray& body)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(body);
    return decoder.hasError() ? std::nullopt : std::optional<QString>(text);
}

QByteArray repairedUtf8(const QByteArray& bytes)
{
    return bytes.isValidUtf8() ? bytes : QString::fromUtf8(bytes).toUtf8();
}

QString lines(const QByteArray& body)
{
    QList<QByteArray> pieces = body.split('\n');
    if (pieces.last().isEmpty())
        pieces.removeLast();
    QString text;
    for (QByteArray& line : pieces) {
        if (line.endsWith('\r'))
            line.chop(1);
        text += QString::fromUtf8(line) + QLatin1Char('\n');
    }
    return text;
}

std::variant<QJsonObject, QString> object(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(repairedUtf8(body), &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("%1 (at byte %2)").arg(error.errorString()).arg(error.offset);
    if (!document.isObject())
        return QStringLiteral("the answer is not a JSON object");
    return document.object();
}

bool fits(const QJsonObject& object, const QString& key, QJsonValue::Type type, QString& problem)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull() || value.type() == type)
        return true;
    problem = QStringLiteral("\"%1\" has an unexpected type").arg(key);
    return false;
}

}
