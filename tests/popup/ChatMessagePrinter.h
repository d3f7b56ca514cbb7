#pragma once

#include <ostream>

#include "engines/ChatMessage.h"

// Lets GoogleTest show the messages of a request readably.
inline void PrintTo(const ChatMessage& message, std::ostream* os)
{
    *os << "\n  [" << message.role.toStdString() << "] " << message.content.left(80).toStdString();
}
