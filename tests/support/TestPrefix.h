#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A throw-away installation prefix laid out like the real one: bin/ and share/quillo/.
class TestPrefix {
public:
    QString resourceDir() const { return m_dir.filePath(QStringLiteral("share/quillo")); }

    // Copies this build's quillo into bin/; returns the copy's path.
    QString installQuillo() const;
    // Installs fake_ollama, or a script with this text, as the built-in engine; returns its path.
    QString installEngine(const QByteArray& script = {}) const;

private:
    QTemporaryDir m_dir;
};

// Makes this process see `prefix` as its own installation while it lives.
class UsePrefix {
public:
    explicit UsePrefix(const TestPrefix& prefix);
    ~UsePrefix();
    UsePrefix(const UsePrefix&) = delete;
    UsePrefix& operator=(const UsePrefix&) = delete;
};
