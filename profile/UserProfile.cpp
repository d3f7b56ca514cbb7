#include "profile/UserProfile.h"

#include <QJsonDocument>
#include <QJsonObject>

#include "core/IsoDate.h"
#include "settings/JsonFields.h"

namespace {

const QString kText = QStringLiteral("text");
const QString kBasedOnCount = QStringLiteral("basedOnCount");
const QString kUpdatedAt = QStringLiteral("updatedAt");
const QString kUserEdited = QStringLiteral("userEdited");
const QString kGeneratedAtCount = QStringLiteral("generatedAtCount");

}

std::optional<UserProfile> UserProfile::decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    UserProfile profile;
    using JsonFields::read;
    const bool ok = read(object, kText, profile.text) && read(object, kBasedOnCount, profile.basedOnCount)
        && read(object, kUpdatedAt, profile.updatedAt) && read(object, kUserEdited, profile.userEdited)
        && read(object, kGeneratedAtCount, profile.generatedAtCount);
    if (!ok)
        return std::nullopt;
    return profile;
}

QByteArray UserProfile::encode() const
{
    // QJsonObject keeps its keys sorted, which is the order the file is written in.
    const QJsonObject object = {
        {kText, text},
        {kBasedOnCount, basedOnCount},
        {kUpdatedAt, IsoDate::format(updatedAt)},
        {kUserEdited, userEdited},
        {kGeneratedAtCount, generatedAtCount},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}
