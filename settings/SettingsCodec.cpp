#include "settings/SettingsCodec.h"

#include <variant>

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "settings/JsonFields.h"

namespace SettingsCodec {

namespace {

using StringMap = QMap<QString, QString>;
using Member = std::variant<QString AppSettings::*, bool AppSettings::*, quint32 AppSettings::*, double AppSettings::*,
                            StringMap AppSettings::*, EngineChoice AppSettings::*>;

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
    {"answerDeadlineSeconds", &AppSettings::answerDeadlineSeconds},
    {"pasteForMe", &AppSettings::pasteForMe},
};

QJsonValue write(const QString& value)
{
    return value;
}
QJsonValue write(bool value)
{
    return value;
}
QJsonValue write(quint32 value)
{
    return static_cast<qint64>(value);
}
QJsonValue write(double value)
{
    return value;
}

QJsonValue write(EngineChoice choice)
{
    return EngineChoices::stored(choice);
}

QJsonValue write(const StringMap& map)
{
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it)
        object.insert(it.key(), it.value());
    return object;
}

// A wrong-typed value leaves its field at the default and is named in `ignored`, so one bad
// value never costs the user the rest of the file.
template <typename T>
void readField(const QJsonObject& object, const QString& key, T& out, QStringList& ignored)
{
    if (!JsonFields::read(object, key, out))
        ignored << key;
}

void readField(const QJsonObject& object, const QString& key, EngineChoice& out, QStringList& ignored)
{
    QString word = EngineChoices::stored(out);
    if (JsonFields::read(object, key, word))
        out = EngineChoices::fromStored(word);
    else
        ignored << key;
}

// Maps (keys and models per provider) are read entry by entry: one bad entry costs only itself.
void readField(const QJsonObject& object, const QString& key, StringMap& out, QStringList& ignored)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return;
    if (!value.isObject()) {
        ignored << key;
        return;
    }
    const QJsonObject entries = value.toObject();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it.value().isString())
            out.insert(it.key(), it.value().toString());
        else
            ignored << key + QLatin1Char('.') + it.key();
    }
}

}

std::optional<Decoded> decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    Decoded decoded;
    for (const Field& field : kFields) {
        const QString key = QLatin1String(field.key);
        std::visit([&](auto member) { readField(object, key, decoded.settings.*member, decoded.ignoredKeys); },
                   field.member);
    }
    return decoded;
}

QByteArray encode(const AppSettings& settings)
{
    QJsonObject object;
    for (const Field& field : kFields)
        object.insert(QLatin1String(field.key),
                      std::visit([&](auto member) { return write(settings.*member); }, field.member));
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
