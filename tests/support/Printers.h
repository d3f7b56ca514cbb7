#pragma once

#include <optional>
#include <ostream>

#include <QString>

#include "core/ChatMessage.h"

// Readable values in GoogleTest messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const std::optional<QString>& text, std::ostream* os)
{
    text ? PrintTo(*text, os) : void(*os << "nothing");
}

inline void PrintTo(const ChatMessage& message, std::ostream* os)
{
    *os << "\n  [" << message.role.toStdString() << "] " << message.content.left(80).toStdString();
}
