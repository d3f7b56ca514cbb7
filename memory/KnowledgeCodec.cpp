#include "memory/KnowledgeCodec.h"

#include <algorithm>

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
const QString kOp = QStringLiteral("op");
const QString kEntry = QStringLiteral("entry");

const QString kOps[] = {QStringLiteral("add"), QStringLiteral("replace"), QStringLiteral("remove"),
                        QStringLiteral("clear")};

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

FileContent decodeFile(const QByteArray& json)
{
    bool repaired = false;
    const QJsonDocument document = JsonFields::parse(json, repaired);
    FileContent content;
    if (!document.isArray())
        return content;
    const QJsonArray array = document.array();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    content.readable = true;
    content.complete = !repaired;
    content.entries.reserve(array.size());
    for (const QJsonValue& value : array) {
        if (std::optional<KnowledgeEntry> entry = decodeEntry(value, now))
            content.entries.append(std::move(*entry));
        else
            content.complete = false;
    }
    return content;
}

std::optional<QList<KnowledgeEntry>> decode(const QByteArray& json)
{
    FileContent content = decodeFile(json);
    if (!content.complete)
        return std::nullopt;
    return std::move(content.entries);
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

QByteArray encodeChange(const Change& change)
{
    QJsonObject object{{kOp, kOps[int(change.kind)]}};
    if (change.kind == Change::Kind::add || change.kind == Change::Kind::replace)
        object.insert(kEntry, toObject(change.entry));
    else if (change.kind == Change::Kind::remove)
        object.insert(kId, change.id);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

bool isChangeLineStart(QByteArrayView bytes)
{
    // The keys come in order: an addition starts with its entry, a removal with its id.
    for (const QString& first : {kEntry, kId, kOp}) {
        const QByteArray start = "{\"" + first.toLatin1() + "\":";
        if (bytes.startsWith(start) || QByteArrayView(start).startsWith(bytes))
            return true;
    }
    return false;
}

std::optional<Change> decodeChange(QByteArrayView line, bool* repaired)
{
    bool replaced = false;
    const QJsonObject object = JsonFields::parse(line.toByteArray(), replaced).object();
    if (repaired)
        *repaired = replaced;
    const auto op = std::find(std::begin(kOps), std::end(kOps), object.value(kOp).toString());
    if (op == std::end(kOps))
        return std::nullopt;
    Change change;
    change.kind = Change::Kind(op - std::begin(kOps));
    switch (change.kind) {
    case Change::Kind::add:
    case Change::Kind::replace: {
        const QJsonValue entry = object.value(kEntry);
        std::optional<KnowledgeEntry> decoded = decodeEntry(entry, QDateTime::currentDateTimeUtc());
        if (!decoded || !entry.toObject().value(kId).isString())
            return std::nullopt;
        change.entry = std::move(*decoded);
        break;
    }
    case Change::Kind::remove:
        if (!object.value(kId).isString())
            return std::nullopt;
        change.id = object.value(kId).toString();
        break;
    case Change::Kind::clear: break;
    }
    return change;
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
