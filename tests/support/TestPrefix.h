#pragma once

#include <QTemporaryDir>

#include "settings/AppBundle.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

// A throw-away installation prefix laid out like the real one: bin/ and share/quillo/.
class TestPrefix {
public:
    QString resourceDir() const { return m_dir.filePath(QStringLiteral("share/quillo")); }

    QString installQuillo() const // this build's quillo, copied into bin/
    {
        const QString target = m_dir.filePath(QStringLiteral("bin/quillo"));
        writeExecutable(target, readFile(quilloBinary()));
        return target;
    }

    // Installs fake_ollama, or a script with this text, as the built-in engine; returns its path.
    QString installEngine(const QByteArray& script = {}) const
    {
        const QString target = resourceDir() + QStringLiteral("/ollama-runtime/bin/ollama");
        writeExecutable(target, script.isEmpty() ? readFile(fakeOllamaBinary()) : script);
        return target;
    }

private:
    QTemporaryDir m_dir;
};

// Makes this process see `prefix` as its own installation while it lives.
class UsePrefix {
public:
    explicit UsePrefix(const TestPrefix& prefix) { AppBundle::setResourceDir(prefix.resourceDir()); }
    ~UsePrefix() { AppBundle::setResourceDir({}); }
    UsePrefix(const UsePrefix&) = delete;
    UsePrefix& operator=(const UsePrefix&) = delete;
};
