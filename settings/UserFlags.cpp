#include "settings/UserFlags.h"

#include <mutex>

#include <QSettings>

#include "settings/HomeDir.h"

namespace UserFlags {

namespace {

// QSettings guards the file against other processes; this lock makes claim() a single step
// within ours.
std::mutex claimMutex;

QSettings open()
{
    return QSettings(path(), QSettings::IniFormat);
}

}

QString path()
{
    return HomeDir::path() + QStringLiteral("/.config/quillo/quillo.conf");
}

bool isSet(const char* key)
{
    return open().value(QLatin1String(key), false).toBool();
}

void set(const char* key, bool value)
{
    open().setValue(QLatin1String(key), value);
}

bool claim(const char* key)
{
    std::lock_guard lock(claimMutex);
    QSettings settings = open();
    if (settings.value(QLatin1String(key), false).toBool())
        return false;
    settings.setValue(QLatin1String(key), true);
    return true;
}

QString text(const char* key)
{
    return open().value(QLatin1String(key)).toString();
}

void setText(const char* key, const QString& value)
{
    open().setValue(QLatin1String(key), value);
}

}
