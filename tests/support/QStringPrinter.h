#pragma once

#include <ostream>

#include <QString>

// Lets GoogleTest show a QString as readable UTF-8 text in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
