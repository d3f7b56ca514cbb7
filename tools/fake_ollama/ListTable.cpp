#include "tools/fake_ollama/ListTable.h"

#include <array>
#include <cmath>

#include <QDateTime>
#include <QJsonObject>

namespace {

QString humanBytes(qint64 bytes)
{
    const std::array<std::pair<double, const char*>, 4> units = {{{1e12, "TB"}, {1e9, "GB"}, {1e6, "MB"}, {1e3, "KB"}}};
    for (const auto& [size, unit] : units) {
        if (double(bytes) < size)
            continue;
        const double value = double(bytes) / size;
        if (value >= 10 || value == std::trunc(value))
            return QStringLiteral("%1 %2").arg(qint64(value)).arg(QLatin1String(unit));
        return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(unit));
    }
    return QStringLiteral("%1 B").arg(bytes);
}

QString humanTime(const QDateTime& when)
{
    if (!when.isValid())
        return QStringLiteral("Never");
    const qint64 seconds = when.secsTo(QDateTime::currentDateTime());
    const qint64 minutes = seconds / 60, hours = minutes / 60, days = hours / 24;
    QString span;
    if (seconds < 1)
        span = QStringLiteral("Less than a second");
    else if (seconds < 60)
        span = seconds == 1 ? QStringLiteral("1 second") : QStringLiteral("%1 seconds").arg(seconds);
    else if (minutes < 60)
        span = minutes == 1 ? QStringLiteral("About a minute") : QStringLiteral("%1 minutes").arg(minutes);
    else if (hours < 48)
        span = hours == 1 ? QStringLiteral("About an hour") : QStringLiteral("%1 hours").arg(hours);
    else if (days < 14)
        span = QStringLiteral("%1 days").arg(days);
    else if (days < 90)
        span = QStringLiteral("%1 weeks").arg(days / 7);
    else if (days < 730)
        span = QStringLiteral("%1 months").arg(days / 30);
    else
        span = QStringLiteral("%1 years").arg(days / 365);
    return span + QStringLiteral(" ago");
}

}

QString listTable(const QJsonArray& models, const QString& prefix)
{
    QList<std::array<QString, 4>> rows = {
        {QStringLiteral("NAME"), QStringLiteral("ID"), QStringLiteral("SIZE"), QStringLiteral("MODIFIED")}};
    for (const QJsonValue& value : models) {
        const QJsonObject model = value.toObject();
        const QString name = model.value(QStringLiteral("name")).toString();
        if (!name.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        rows.append({name, model.value(QStringLiteral("digest")).toString().left(12),
                     humanBytes(qint64(model.value(QStringLiteral("size")).toDouble())),
                     humanTime(QDateTime::fromString(model.value(QStringLiteral("modified_at")).toString(),
                                                     Qt::ISODateWithMs))});
    }
    std::array<qsizetype, 4> widths = {};
    for (const auto& row : rows) {
        for (size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    }
    QString table;
    for (const auto& row : rows) {
        for (size_t column = 0; column < row.size(); ++column)
            table += row[column].leftJustified(widths[column] + 4);
        table += QLatin1Char('\n');
    }
    return table;
}
