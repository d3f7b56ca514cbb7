// A child changes the knowledge base and reports each change once its call has returned; it is
// killed at a random moment, and a reopened store must hold every reported change, from a file
// that decodes, with nothing else beside it. KNOWLEDGE_CRASH_ROUNDS: 20 by default, 200 by hand.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include "memory/KnowledgeCodec.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "tests/support/Files.h"
#include "tests/support/ScratchHome.h"

namespace {

// Reports "+id" after an add, "*id" after a star, "?id" before and "-id" after a removal; folds
// every 20 changes, so kills land in folds too. Ends the process after a minute at most.
[[noreturn]] void changeUntilKilled(const QString& file, int report)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    KnowledgeStore store(file, noModels, 20);
    const auto say = [report](char what, const QString& id) {
        const QByteArray line = what + id.toLatin1() + '\n';
        return ::write(report, line.constData(), size_t(line.size())) == line.size();
    };
    const QString padding = QStringLiteral("熵增与信息论 \"quoted\" \\ 😀\n").repeated(20);
    QString previous;
    const QDeadlineTimer deadline(60000);
    for (int i = 0; !deadline.hasExpired(); ++i) {
        const QString id = store.add(QStringLiteral("解释"), previous, padding, QString()).value_or(QString());
        if (id.isEmpty() || !say('+', id) || (i % 4 == 0 && !(store.toggleFavorite(id) && say('*', id)))
            || (i % 5 == 1 && !(say('?', previous) && store.remove(previous) && say('-', previous))))
            ::_exit(2);
        previous = id;
    }
    ::_exit(0);
}

TEST(KnowledgeCrash, AKilledWriterLosesNoReportedChangeAndLeavesNothingBroken)
{
    ScratchHome home;
    const QString file = home.dataDir() + QStringLiteral("/knowledge.json");
    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    const int rounds = qEnvironmentVariableIsSet("KNOWLEDGE_CRASH_ROUNDS")
        ? qEnvironmentVariableIntValue("KNOWLEDGE_CRASH_ROUNDS")
        : 20;
    std::mt19937 random(20250301);
    QHash<char, QSet<QString>> reported;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(round);
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            changeUntilKilled(file, pipe[1]);
        ::close(pipe[1]);
        QFile reports;
        ASSERT_TRUE(reports.open(pipe[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        QByteArray lines;
        for (int wanted = std::uniform_int_distribution(0, 60)(random); wanted > 0; --wanted)
            lines += reports.readLine(); // blocks until the child reports a change or is gone
        ::usleep(std::uniform_int_distribution(0, 4000)(random));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        lines += reports.readAll(); // what was reported before the kill
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own: " << WEXITSTATUS(status);
        for (const QByteArray& line : lines.first(lines.lastIndexOf('\n') + 1).split('\n'))
            reported[line.isEmpty() ? 0 : line[0]].insert(QString::fromLatin1(line.mid(1)));

        // What a kill in the middle of a line or of a whole-file write leaves, every time (a
        // real retired file may be a second name of the live one: it is never written to).
        const QString retired = home.dataDir() + QStringLiteral("/.knowledge.json.retire");
        ASSERT_TRUE(writeFile(home.dataDir() + QStringLiteral("/.knowledge.json.Ab12Cd"), "[{\"half")
                    && (QFile::exists(retired) || writeFile(retired, "[]")));
        QFile journal(file + QStringLiteral(".journal"));
        ASSERT_TRUE(journal.open(QIODevice::Append) && journal.write(R"({"op":"clear"})") > 0);
        journal.close();
        const KnowledgeStore reopened(file, noModels);
        const std::optional<QList<KnowledgeEntry>> entries = KnowledgeCodec::decode(readFile(file));
        ASSERT_TRUE(entries) << "the file always decodes";
        EXPECT_EQ(QDir(home.dataDir()).entryList(QDir::Files | QDir::Hidden),
                  QStringList({".knowledge.json.lock", "knowledge.json"}));
        QHash<QString, bool> favorite;
        for (const KnowledgeEntry& entry : *entries)
            favorite.insert(entry.id, entry.favorite);
        for (const QString& id : reported['+'] - reported['?'])
            ASSERT_TRUE(favorite.contains(id)) << "a reported add is on disk: " << id.toStdString();
        for (const QString& id : reported['*'] - reported['?'])
            ASSERT_TRUE(favorite.value(id)) << "a reported star is on disk: " << id.toStdString();
        for (const QString& id : reported['-'])
            ASSERT_FALSE(favorite.contains(id)) << "a reported removal is on disk: " << id.toStdString();
    }
}

}
