#include "app/Modes.h"

#include <pwd.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include "app/checks/CheckList.h"
#include "settings/HomeDir.h"
#include "settings/SettingsStore.h"

namespace {

int selftestHomedir(const QStringList&)
{
    const QByteArray originalHome = qgetenv("HOME");
    const bool hadHome = qEnvironmentVariableIsSet("HOME");
    QTemporaryDir scratch;
    CheckList checks;
    checks.check(scratch.isValid(), QStringLiteral("scratch directory ") + scratch.path());

    qputenv("HOME", QFile::encodeName(scratch.path()));
    SettingsStore::resetCache();
    const QString expected = scratch.path() + QStringLiteral("/.selvane/config.json");
    checks.check(HomeDir::path() == scratch.path(), QStringLiteral("HOME is the home directory: ") + HomeDir::path());
    checks.check(SettingsStore::path() == expected, QStringLiteral("settings file: ") + SettingsStore::path());
    AppSettings changed;
    changed.autoRemember = false;
    checks.check(SettingsStore::save(changed), QStringLiteral("settings saved"));
    checks.check(QFile::permissions(expected)
                     == (QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser),
                 QStringLiteral("settings file is readable by the owner only"));
    checks.check(!SettingsStore::load(true).autoRemember,
                 QStringLiteral("saved value read back from the scratch home"));

    qputenv("HOME", QByteArray());
    const passwd* entry = getpwuid(getuid());
    const QString systemHome = entry ? QString::fromLocal8Bit(entry->pw_dir) : QString();
    checks.check(!systemHome.isEmpty() && HomeDir::path() == systemHome,
                 QStringLiteral("empty HOME falls back to the account's home: ") + HomeDir::path());

    if (hadHome)
        qputenv("HOME", originalHome);
    else
        qunsetenv("HOME");
    SettingsStore::resetCache();
    return checks.finish("HOMEDIR_SELFTEST_PASS", "HOMEDIR_SELFTEST_FAIL");
}

}

const Mode selftestHomedirMode = {AppObject::none, nullptr, "check where the settings file is placed", selftestHomedir};
