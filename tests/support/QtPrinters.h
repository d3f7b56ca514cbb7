#pragma once

#include <optional>
#include <ostream>

#include <QString>

// Readable Qt values in GoogleTest messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const std::optional<QString>& text, std::ostream* os)
{
    if (text)
        PrintTo(*text, os);
    else
        *os << "nothing";
}
