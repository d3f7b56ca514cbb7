#include "settings/JsonFields.h"

#include <cmath>
#include <limits>

#include "core/IsoDate.h"

namespace JsonFields {

QJsonDocument parse(const QByteArray& json, bool& repaired)
{
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(json, &error);
    repaired = false;
    if (error.error == QJsonParseError::NoError)
        return document;
    const QByteArray valid = QString::fromUtf8(json).toUtf8();
    if (valid == json)
        return {};
    document = QJsonDocument::fromJson(valid, &error);
    repaired = error.error == QJsonParseError::NoError;
    return repaired ? document : QJsonDocument();
}

namespace {

bool decode(const QJsonValue& value, QString& out)
{
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

bool decode(const QJsonValue& value, bool& out)
{
    if (!value.isBool())
        return false;
    out = value.toBool();
    return true;
}

template <typename Whole>
bool decodeWhole(const QJsonValue& value, Whole& out)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    if (std::trunc(number) != number || number < double(std::numeric_limits<Whole>::min())
        || number > double(std::numeric_limits<Whole>::max()))
        return false;
    out = Whole(number);
    return true;
}

bool decode(const QJsonValue& value, int& out)
{
    return decodeWhole(value, out);
}

bool decode(const QJsonValue& value, quint32& out)
{
    return decodeWhole(value, out);
}

bool decode(const QJsonValue& value, double& out)
{
    if (!value.isDouble())
        return false;
    out = value.toDouble();
    return true;
}

bool decode(const QJsonValue& value, QDateTime& out)
{
    const std::optional<QDateTime> date = value.isString() ? IsoDate::parse(value.toString()) : std::nullopt;
    if (!date)
        return false;
    out = *date;
    return true;
}

template <typename T>
bool readOptional(const QJsonObject& object, const QString& key, T& out)
{
    const QJsonValue value = object.value(key);
    return value.isUndefined() || value.isNull() || decode(value, out);
}

}

bool read(const QJsonObject& object, const QString& key, QString& out)
{
    return readOptional(object, key, out);
}

bool read(const QJsonObject& object, const QString& key, bool& out)
{
    return readOptional(object, key, out);
}

bool read(const QJsonObject& object, const QString& key, int& out)
{
    return readOptional(object, key, out);
}

bool read(const QJsonObject& object, const QString& key, quint32& out)
{
    return readOptional(object, key, out);
}

bool read(const QJsonObject& object, const QString& key, double& out)
{
    return readOptional(object, key, out);
}

bool read(const QJsonObject& object, const QString& key, QDateTime& out)
{
    return readOptional(object, key, out);
}

}
