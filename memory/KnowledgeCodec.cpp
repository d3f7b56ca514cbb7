#include "memory/KnowledgeCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "core/IsoDate.h"
#include "settings/JsonFields.h"

namespace KnowledgeCodec {

namespace {

const QString kId = QStringLiteral("id");
const QString kAction = QStringLiteral("action");
const QString kSourceText = QStringLiteral("sourceText");
const QString kResultText = QStringLiteral("resultText");
const QString kNote = QStringLiteral("note");
const QString kAppName = QStringLiteral("appName");
const QString kFavorite = QStringLiteral("favorite");
const QString kIsCollected = QStringLiteral("isCollected");
const QString kCategory = QStringLiteral("category");
const QString kCreatedAt = QStringLiteral("createdAt");
const QString kUpdatedAt = QStringLiteral("updatedAt");

std::optional<KnowledgeEntry> decodeEntry(const QJsonValue& value, const QDateTime& now)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    KnowledgeEntry entry;
    entry.createdAt = now;
    using JsonFields::read;
    const bool ok = read(object, kId, entry.id) && read(object, kAction, entry.action)
        && read(object, kSourceText, entry.sourceText) && read(object, kResultText, entry.resultText)
        && read(object, kNote, entry.note) && read(object, kAppName, entry.appName)
        && read(object, kFavorite, entry.favorite) && read(object, kIsCollected, entry.isCollected)
        && read(object, kCategory, entry.category) && read(object, kCreatedAt, entry.createdAt);
    if (!ok)
        return std::nullopt;
    entry.updatedAt = entry.createdAt;
    if (!read(object, kUpdatedAt, entry.updatedAt))
        return std::nullopt;
    if (const QJsonValue id = object.value(kId); id.isUndefined() || id.isNull())
        entry.id = KnowledgeEntry::newId();
    return entry;
}

QJsonObject toObject(const KnowledgeEntry& entry)
{
    return {
        {kId, entry.id},
        {kAction, entry.action},
        {kSourceText, entry.sourceText},
        {kResultText, entry.resultText},
        {kNote, entry.note},
        {kAppName, entry.appName},
        {kFavorite, entry.favorite},
        {kIsCollected, entry.isCollected},
        {kCategory, entry.category},
        {kCreatedAt, IsoDate::format(entry.createdAt)},
        {kUpdatedAt, IsoDate::format(entry.updatedAt)},
    };
}

}

std::optional<QList<KnowledgeEntry>> decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<KnowledgeEntry> entries;
    entries.reserve(array.size());
    for (const QJsonValue& value : array) {
        std::optional<KnowledgeEntry> entry = decodeEntry(value, now);
        if (!entry)
            return std::nullopt;
        entries.append(std::move(*entry));
    }
    return entries;
}

QByteArray encodeEntry(const KnowledgeEntry& entry)
{
    QByteArray object = QJsonDocument(toObject(entry)).toJson(QJsonDocument::Indented);
    object.chop(1); // the document's final line break
    return object;
}

QByteArray joinEncoded(const QList<QByteArray>& objects)
{
    qsizetype size = 4;
    for (const QByteArray& object : objects)
        size += object.size() + 2;
    QByteArray array;
    array.reserve(size);
    array += "[\n";
    for (qsizetype i = 0; i < objects.size(); ++i) {
        if (i > 0)
            array += ",\n";
        array += objects[i];
    }
    array += objects.isEmpty() ? "]\n" : "\n]\n";
    return array;
}

QByteArray encode(const QList<KnowledgeEntry>& entries)
{
    QList<QByteArray> objects;
    objects.reserve(entries.size());
    for (const KnowledgeEntry& entry : entries)
        objects.append(encodeEntry(entry));
    return joinEncoded(objects);
}

}
