#pragma once

#include <QList>
#include <QString>

// One turn of a conversation, the record every caller builds and both engines accept.
struct ChatMessage {
    QString role; // "system", "user" or "assistant"
    QString content;

    static ChatMessage system(const QString& content) { return {QStringLiteral("system"), content}; }
    static ChatMessage user(const QString& content) { return {QStringLiteral("user"), content}; }
    static ChatMessage assistant(const QString& content) { return {QStringLiteral("assistant"), content}; }

    bool operator==(const ChatMessage&) const = default;
};

using ChatMessages = QList<ChatMessage>;
