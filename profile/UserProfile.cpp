#include "profile/UserProfile.h"

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

std::optional<UserProfile> UserProfile::decode(const QByteArray& json, bool* complete)
{
    bool repaired = false;
    const QJsonDocument document = JsonFields::parse(json, repaired);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    UserProfile profile;
    using JsonFields::read;
    // Each field alone: one that cannot be read keeps its default and never hides the others.
    bool everyField = !repaired;
    const auto field = [&](const QString& key, auto& out) {
        auto value = out;
        if (read(object, key, value))
            out = value;
        else
            everyField = false;
    };
    field(kText, profile.text);
    field(kBasedOnCount, profile.basedOnCount);
    field(kUpdatedAt, profile.updatedAt);
    field(kUserEdited, profile.userEdited);
    field(kGeneratedAtCount, profile.generatedAtCount);
    if (complete)
        *complete = everyField;
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
