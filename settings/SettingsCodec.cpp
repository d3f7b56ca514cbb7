#include "settings/SettingsCodec.h"

#include <cmath>
#include <limits>
#include <variant>

#include <QJsonDocument>
#include <QJsonObject>

namespace SettingsCodec {

namespace {

using StringMap = QMap<QString, QString>;
using Member = std::variant<QString AppSettings::*, bool AppSettings::*, quint32 AppSettings::*,
                            double AppSettings::*, StringMap AppSettings::*>;

struct Field {
    const char* key;
    Member member;
};

const Field kFields[] = {
    {"doubaoApiKey", &AppSettings::doubaoApiKey},
    {"doubaoModel", &AppSettings::doubaoModel},
    {"activeProvider", &AppSettings::activeProvider},
    {"cloudKeys", &AppSettings::cloudKeys},
    {"cloudModels", &AppSettings::cloudModels},
    {"customBaseURL", &AppSettings::customBaseURL},
    {"qwenModel", &AppSettings::qwenModel},
    {"useExternalOllama", &AppSettings::useExternalOllama},
    {"hotKeyCode", &AppSettings::hotKeyCode},
    {"hotKeyModifiers", &AppSettings::hotKeyModifiers},
    {"ocrHotKeyCode", &AppSettings::ocrHotKeyCode},
    {"ocrHotKeyModifiers", &AppSettings::ocrHotKeyModifiers},
    {"explainEngine", &AppSettings::explainEngine},
    {"rewriteEngine", &AppSettings::rewriteEngine},
    {"translateEngine", &AppSettings::translateEngine},
    {"defaultTranslateDirection", &AppSettings::defaultTranslateDirection},
    {"compareMode", &AppSettings::compareMode},
    {"defaultScenario", &AppSettings::defaultScenario},
    {"defaultCreativity", &AppSettings::defaultCreativity},
    {"defaultExplainMode", &AppSettings::defaultExplainMode},
    {"fontScale", &AppSettings::fontScale},
    {"autoRemember", &AppSettings::autoRemember},
    {"profileEnabled", &AppSettings::profileEnabled},
    {"useContext", &AppSettings::useContext},
    {"appLanguage", &AppSettings::appLanguage},
    {"embeddingModel", &AppSettings::embeddingModel},
};

bool read(const QJsonValue& value, QString& out)
{
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

bool read(const QJsonValue& value, bool& out)
{
    if (!value.isBool())
        return false;
    out = value.toBool();
    return true;
}

bool read(const QJsonValue& value, quint32& out)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    if (number < 0 || number > std::numeric_limits<quint32>::max() || std::trunc(number) != number)
        return false;
    out = static_cast<quint32>(number);
    return true;
}

bool read(const QJsonValue& value, double& out)
{
    if (!value.isDouble())
        return false;
    out = value.toDouble();
    return true;
}

bool read(const QJsonValue& value, StringMap& out)
{
    if (!value.isObject())
        return false;
    StringMap map;
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isString())
            return false;
        map.insert(it.key(), it.value().toString());
    }
    out = map;
    return true;
}

QJsonValue write(const QString& value) { return value; }
QJsonValue write(bool value) { return value; }
QJsonValue write(quint32 value) { return static_cast<qint64>(value); }
QJsonValue write(double value) { return value; }

QJsonValue write(const StringMap& map)
{
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

}

std::optional<AppSettings> decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    AppSettings settings;
    for (const Field& field : kFields) {
        const QJsonValue value = object.value(QLatin1String(field.key));
        if (value.isUndefined() || value.isNull())
            continue;
        const bool ok = std::visit([&](auto member) { return read(value, settings.*member); }, field.member);
        if (!ok)
            return std::nullopt;
    }
    return settings;
}

QByteArray encode(const AppSettings& settings)
{
    QJsonObject object;
    for (const Field& field : kFields)
        object.insert(QLatin1String(field.key), std::visit([&](auto member) { return write(settings.*member); }, field.member));
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

void bringForwardDoubaoFields(AppSettings& settings)
{
    const QString doubao = QStringLiteral("doubao");
    const QString legacyKey = settings.doubaoApiKey.trimmed();
    if (!legacyKey.isEmpty() && settings.cloudKeys.value(doubao).trimmed().isEmpty())
        settings.cloudKeys.insert(doubao, legacyKey);
    const QString legacyModel = settings.doubaoModel.trimmed();
    if (!legacyModel.isEmpty() && legacyModel != AppSettings().doubaoModel
        && settings.cloudModels.value(doubao).trimmed().isEmpty())
        settings.cloudModels.insert(doubao, legacyModel);
}

}
