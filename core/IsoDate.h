#pragma once

#include <optional>

#include <QDateTime>
#include <QString>

// Dates in stored files: ISO 8601 internet date-time in UTC without fractions,
// for example 2025-03-01T08:30:00Z.
namespace IsoDate {

QString format(const QDateTime& date);

// Accepts that form with "Z" or a "+08:00" style offset, and with a fraction of a second (as
// other programs write it); anything else (a missing zone, a bare date) is no date.
std::optional<QDateTime> parse(const QString& text);

}
