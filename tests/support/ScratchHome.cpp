#include "tests/support/ScratchHome.h"

#include <QFile>

#include <gtest/gtest.h>

#include "settings/L10n.h"
#include "settings/SettingsStore.h"

ScratchHome::ScratchHome()
    : m_savedHome(qgetenv("HOME"))
    , m_hadHome(qEnvironmentVariableIsSet("HOME"))
{
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    SettingsStore::resetCache();
    L10n::invalidate();
}

ScratchHome::~ScratchHome()
{
    if (m_hadHome)
        qputenv("HOME", m_savedHome);
    else
        qunsetenv("HOME");
    SettingsStore::resetCache();
    L10n::invalidate();
}

QProcessEnvironment ScratchHome::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), path());
    return env;
}

void changeSettings(const std::function<void(AppSettings&)>& change)
{
    AppSettings settings = SettingsStore::load();
    change(settings);
    ASSERT_TRUE(SettingsStore::save(settings));
}
