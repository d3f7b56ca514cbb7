#pragma once

#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The learned one-line profile of the user, with where it came from.
struct UserProfile {
    QString text;
    int basedOnCount = 0; // records the line was generated from (at most 30)
    QDateTime updatedAt = QDateTime::currentDateTimeUtc();
    bool userEdited = false;  // the user wrote it; generation must leave it alone
    int generatedAtCount = 0; // size of the knowledge base when it was generated or edited

    bool isUsable() const { return !text.trimmed().isEmpty(); }

    // One JSON object with sorted keys, read field by field: every key optional, a value of the
    // wrong type left at its default alone, bytes that are not UTF-8 read as U+FFFD. Nothing for
    // text that is no JSON object; `complete` (when given) says whether every field was read.
    static std::optional<UserProfile> decode(const QByteArray& json, bool* complete = nullptr);
    QByteArray encode() const;

    bool operator==(const UserProfile&) const = default;
};
