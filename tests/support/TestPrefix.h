#pragma once

#include <QString>
#include <QTemporaryDir>

// A throw-away installation prefix laid out like the real one: bin/ and share/quillo/.
class TestPrefix {
public:
    TestPrefix() = default;

    QString binDir() const { return m_dir.filePath(QStringLiteral("bin")); }
    QString resourceDir() const { return m_dir.filePath(QStringLiteral("share/quillo")); }
    QString enginePath() const { return resourceDir() + QStringLiteral("/ollama-runtime/bin/ollama"); }

    // Copies an executable to a path inside the prefix; returns the copy's path.
    QString install(const QString& program, const QString& relativePath) const;
    // Writes an executable script to a path inside the prefix; returns its path.
    QString installScript(const QByteArray& script, const QString& relativePath) const;

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
