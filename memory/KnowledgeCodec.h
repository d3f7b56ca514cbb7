#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include "memory/KnowledgeEntry.h"

// The JSON form of the knowledge base: an array of entry objects whose keys are the field names.
namespace KnowledgeCodec {

// What a knowledge file holds, read entry by entry and field by field: a missing (or null) field
// takes its default — a fresh id, empty texts, false flags, createdAt now, updatedAt the
// createdAt — so files of older versions load. An element of the wrong shape (a field of another
// type, a date that is no ISO 8601 date-time) is left out without hiding the others, and bytes
// that are not UTF-8 become U+FFFD.
struct FileContent {
    QList<KnowledgeEntry> entries;
    bool readable = false; // a JSON array, possibly after replacing bytes that are not UTF-8
    bool complete = false; // every element read and no byte replaced
};
FileContent decodeFile(const QByteArray& json);

// The entries of a file that reads completely; nothing for any other.
std::optional<QList<KnowledgeEntry>> decode(const QByteArray& json);

// Pretty-printed, every field written, dates without fractions.
QByteArray encode(const QList<KnowledgeEntry>& entries);

// The same in two steps, so a store can keep each entry's encoded form and rewrite a large file
// without encoding every entry again: one object, and the array around such objects.
QByteArray encodeEntry(const KnowledgeEntry& entry);
QByteArray joinEncoded(const QList<QByteArray>& objects);

// One change of the knowledge base, as the store's journal keeps it.
struct Change {
    enum class Kind { add, replace, remove, clear };
    Kind kind = Kind::clear;
    KnowledgeEntry entry; // add, replace: the whole entry as it is after the change
    QString id;           // remove

    static Change added(const KnowledgeEntry& entry) { return {Kind::add, entry, {}}; }
    static Change replaced(const KnowledgeEntry& entry) { return {Kind::replace, entry, {}}; }
    static Change removed(const QString& id) { return {Kind::remove, {}, id}; }
    static Change cleared() { return {}; }
};

// One line of compact JSON ending in a line break, its keys in order: {"entry":{…},"op":"add"|"replace"},
// {"id":"…","op":"remove"} or {"op":"clear"}.
QByteArray encodeChange(const Change& change);
// Whether bytes are the start of such a line, as a write cut short leaves it.
bool isChangeLineStart(QByteArrayView bytes);
// The change of one such line (with or without its line break); nothing for anything else.
// Bytes that are not UTF-8 become U+FFFD, and `repaired` (when given) says so.
std::optional<Change> decodeChange(QByteArrayView line, bool* repaired = nullptr);

}
