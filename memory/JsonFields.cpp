#include "memory/JsonFields.h"

#include <cmath>
#include <limits>

#include "memory/IsoDate.h"

namespace JsonFields {

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

bool decode(const QJsonValue& value, int& out)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    if (std::trunc(number) != number || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max())
        return false;
    out = int(number);
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

bool read(const QJsonObject& object, const QString& key, QDateTime& out)
{
    return readOptional(object, key, out);
}

}
