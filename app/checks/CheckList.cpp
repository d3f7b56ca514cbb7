#include "app/checks/CheckList.h"

#include <QFile>

#include "app/Out.h"
#include "settings/SettingsStore.h"

bool CheckList::check(bool passed, const QString& what)
{
    out((passed ? QStringLiteral("ok   ") : QStringLiteral("FAIL ")) + what);
    m_passed &= passed;
    return passed;
}

void CheckList::note(const QString& line)
{
    out(QStringLiteral("     ") + line);
}

int CheckList::finish(const char* passVerdict, const char* failVerdict) const
{
    out(QString::fromLatin1(m_passed ? passVerdict : failVerdict));
    return m_passed ? 0 : 1;
}

ThrowAwayHome::ThrowAwayHome()
{
    SettingsStore::load();
    const QList<std::pair<const char*, QString>> overrides = {
        {"HOME", m_dir.path()},
        {"SELVANE_KNOWLEDGE_FILE", knowledgeFile()},
        {"SELVANE_PROFILE_FILE", profileFile()},
    };
    for (const auto& [name, value] : overrides) {
        m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        qputenv(name, QFile::encodeName(value));
    }
}

ThrowAwayHome::~ThrowAwayHome()
{
    for (const Saved& saved : m_saved) {
        if (saved.wasSet)
            qputenv(saved.name, saved.value);
        else
            qunsetenv(saved.name);
    }
}
