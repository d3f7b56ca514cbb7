#include "app/modes/Modes.h"

#include <pwd.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include "app/Out.h"
#include "settings/HomeDir.h"
#include "settings/SettingsStore.h"

namespace {

bool check(bool passed, const QString& what)
{
    out((passed ? QStringLiteral("ok   ") : QStringLiteral("FAIL ")) + what);
    return passed;
}

int selftestHomedir(const QStringList&)
{
    const QByteArray originalHome = qgetenv("HOME");
    const bool hadHome = qEnvironmentVariableIsSet("HOME");
    QTemporaryDir scratch;
    bool passed = check(scratch.isValid(), QStringLiteral("scratch directory ") + scratch.path());

    qputenv("HOME", QFile::encodeName(scratch.path()));
    SettingsStore::resetCache();
    const QString expected = scratch.path() + QStringLiteral("/.selvane/config.json");
    passed &= check(HomeDir::path() == scratch.path(), QStringLiteral("HOME is the home directory: ") + HomeDir::path());
    passed &= check(SettingsStore::path() == expected, QStringLiteral("settings file: ") + SettingsStore::path());
    AppSettings changed;
    changed.autoRemember = false;
    passed &= check(SettingsStore::save(changed), QStringLiteral("settings saved"));
    passed &= check(QFile::permissions(expected) == (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                    QStringLiteral("settings file is readable by the owner only"));
    passed &= check(!SettingsStore::load(true).autoRemember, QStringLiteral("saved value read back from the scratch home"));

    qputenv("HOME", QByteArray());
    const passwd* entry = getpwuid(getuid());
    const QString systemHome = entry ? QString::fromLocal8Bit(entry->pw_dir) : QString();
    passed &= check(!systemHome.isEmpty() && HomeDir::path() == systemHome,
                    QStringLiteral("empty HOME falls back to the account's home: ") + HomeDir::path());

    if (hadHome)
        qputenv("HOME", originalHome);
    else
        qunsetenv("HOME");
    SettingsStore::resetCache();
    out(passed ? QStringLiteral("HOMEDIR_SELFTEST_PASS") : QStringLiteral("HOMEDIR_SELFTEST_FAIL"));
    return passed ? 0 : 1;
}

}

const Mode selftestHomedirMode = {AppObject::none, nullptr, "check where the settings file is placed", selftestHomedir};
