#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// The steps of a self-check: each prints "ok   <what>" or "FAIL <what>"; the check ends with
// exactly one verdict line.
class CheckList {
public:
    // Prints the step; returns whether it passed.
    bool check(bool passed, const QString& what);
    // Prints a line that is not a step.
    void note(const QString& line);
    // Prints the pass or the fail verdict and gives the exit status.
    int finish(const char* passVerdict, const char* failVerdict) const;
    bool allPassed() const { return m_passed; }

private:
    bool m_passed = true;
};

// A scratch directory that stands in for HOME, SELVANE_KNOWLEDGE_FILE and SELVANE_PROFILE_FILE
// while it lives, so a self-check never touches the user's own files; restores them after.
// The settings already read stay in effect (nothing here saves them).
class ThrowAwayHome {
public:
    ThrowAwayHome();
    ~ThrowAwayHome();
    ThrowAwayHome(const ThrowAwayHome&) = delete;
    ThrowAwayHome& operator=(const ThrowAwayHome&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString knowledgeFile() const { return m_dir.filePath(QStringLiteral("knowledge.json")); }
    QString profileFile() const { return m_dir.filePath(QStringLiteral("profile.json")); }

private:
    struct Saved {
        const char* name;
        QByteArray value;
        bool wasSet;
    };
    QTemporaryDir m_dir;
    QList<Saved> m_saved;
};
