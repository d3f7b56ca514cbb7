#include "tools/fakes/Markers.h"

#include <QRegularExpression>

Markers Markers::parse(const QString& text)
{
    static const QRegularExpression marker(QStringLiteral(R"(\[\[(\w+)(?::([^\]]*))?\]\])"));
    Markers markers;
    for (const QRegularExpressionMatch& match : marker.globalMatch(text)) {
        const QString word = match.captured(1);
        const QString argument = match.captured(2);
        if (word == QLatin1String("fail")) {
            markers.failStatus = argument.section(QLatin1Char(':'), 0, 0).toInt();
            markers.failMessage = argument.section(QLatin1Char(':'), 1);
        } else if (word == QLatin1String("stall")) {
            markers.stallSeconds = argument.isEmpty() ? 3600 : argument.toInt();
        } else if (word == QLatin1String("keepalive")) {
            markers.keepAliveSeconds = argument.isEmpty() ? 3600 : argument.toInt();
        } else {
            markers.unfinished |= word == QLatin1String("unfinished");
            markers.midstream |= word == QLatin1String("midstream");
            markers.drop |= word == QLatin1String("drop");
            markers.think |= word == QLatin1String("think");
            markers.reasoning |= word == QLatin1String("reasoning");
            markers.empty |= word == QLatin1String("empty");
            markers.unknown |= word == QLatin1String("unknown");
            markers.newer |= word == QLatin1String("newer");
        }
    }
    markers.text = QString(text).remove(marker).trimmed();
    return markers;
}
