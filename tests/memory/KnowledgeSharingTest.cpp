// One knowledge base shared by several processes, one kept behind symbolic links, and one whose writer is killed at
// random moments: real processes, each with its own store on the same file, and real links in a scratch home.
#include <gtest/gtest.h>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <random>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSet>

#include "memory/KnowledgeCodec.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "profile/ProfileStore.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

class KnowledgeSharingTest : public ::testing::Test {
protected:
    ScratchHome home;
    const QString file = home.dataDir() + QStringLiteral("/knowledge.json");
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};

    // A process with a store of its own that adds `count` lookups named "<tag>-<n>", removing every
    // fifth one again, folds every 7 changes and quits cleanly; it exits 1 when a change was not made.
    static pid_t startWriter(const QString& path, const QString& tag, int count)
    {
        const pid_t child = ::fork();
        if (child != 0)
            return child;
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        bool made = true;
        {
            SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
            KnowledgeStore store(path, noModels, 7);
            for (int i = 0; i < count && made; ++i) {
                const auto id = store.add(QStringLiteral("解释"), tag + QLatin1Char('-') + QString::number(i), {}, {});
                made = id && (i % 5 != 4 || store.remove(*id));
            }
        }
        ::_exit(made ? 0 : 1);
    }
    // The lookups that writers with these tags keep.
    static QSet<QString> kept(const QStringList& tags, int count)
    {
        QSet<QString> sources;
        for (const QString& tag : tags)
            for (int i = 0; i < count; ++i)
                if (i % 5 != 4)
                    sources.insert(tag + QLatin1Char('-') + QString::number(i));
        return sources;
    }
    static QSet<QString> sourcesOf(const QList<KnowledgeEntry>& entries)
    {
        QSet<QString> sources;
        for (const KnowledgeEntry& entry : entries)
            sources.insert(entry.sourceText);
        return sources;
    }
};

TEST_F(KnowledgeSharingTest, ProcessesChangingOneBaseAtOnceLoseNothingAndAnOpenStoreFollowsThem)
{
    constexpr int each = 150;
    std::atomic<int> announced{0};
    // Started before this process has a store, so no thread of it is copied into theirs.
    const pid_t first = startWriter(file, QStringLiteral("a"), each);
    const pid_t second = startWriter(file, QStringLiteral("b"), each);
    auto watcher = std::make_unique<KnowledgeStore>(file, noModels, 7);
    watcher->addChangeListener([&] { ++announced; });
    // This process changes the base too, while the others do.
    for (int i = 0; i < each; ++i) {
        const auto id = watcher->add(QStringLiteral("解释"), QStringLiteral("c-") + QString::number(i), {}, {});
        ASSERT_TRUE(id && (i % 5 != 4 || watcher->remove(*id)));
    }
    for (const pid_t writer : {first, second}) {
        int status = 0;
        EXPECT_TRUE(::waitpid(writer, &status, 0) == writer && WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const QSet<QString> expected = kept({"a", "b", "c"}, each);

    EXPECT_TRUE(processEventsUntil([&] { return sourcesOf(watcher->all()) == expected; }, 30000))
        << "the open store reads what the others did";
    EXPECT_GT(announced, each) << "and announces it";
    EXPECT_EQ(watcher->count(), expected.size()) << "each entry once";

    // The last to quit, having caught up with the others, leaves the file alone complete.
    watcher.reset();
    const QList<KnowledgeEntry> onDisk = KnowledgeCodec::decode(readFile(file)).value_or(QList<KnowledgeEntry>());
    EXPECT_EQ(sourcesOf(onDisk), expected);
    EXPECT_EQ(onDisk.size(), expected.size());
}

TEST_F(KnowledgeSharingTest, ABaseBehindALinkIsWrittenWhereTheLinkPointsAndTheLinkStays)
{
    const QString synced = home.path() + QStringLiteral("/Sync"), target = synced + QStringLiteral("/knowledge.json");
    ASSERT_TRUE(QDir().mkpath(home.dataDir()) && writeFile(target, R"([{"sourceText": "seed"}])"));
    // A second name of the same file elsewhere must not be emptied by a rewrite either.
    const QString hardLinked = home.path() + QStringLiteral("/backup.json");
    ASSERT_EQ(::link(QFile::encodeName(target).constData(), QFile::encodeName(hardLinked).constData()), 0);
    const QByteArray backup = readFile(hardLinked);
    ASSERT_TRUE(QFile::link(QStringLiteral("../Sync/knowledge.json"), file));
    const QString viaEnvironment = home.path() + QStringLiteral("/elsewhere.json");
    ASSERT_TRUE(QFile::link(file, viaEnvironment));

    const ScopedEnv chosen("SELVANE_KNOWLEDGE_FILE", QFile::encodeName(viaEnvironment));
    for (const QString& path : {file, KnowledgeStore::defaultPath()}) {
        KnowledgeStore store(path, noModels, 1);
        ASSERT_TRUE(store.add(QStringLiteral("解释"), path, {}, {}));
        ASSERT_TRUE(store.clearAll() && store.add(QStringLiteral("解释"), QStringLiteral("after clearing"), {}, {}));
    }
    EXPECT_TRUE(QFileInfo(file).isSymLink() && QFileInfo(viaEnvironment).isSymLink());
    EXPECT_EQ(sourcesOf(KnowledgeCodec::decode(readFile(target)).value_or(QList<KnowledgeEntry>())),
              QSet<QString>({"after clearing"}));
    EXPECT_EQ(readFile(hardLinked), backup) << "the old file's other name keeps its content";
    EXPECT_EQ(QDir(home.dataDir()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList({"knowledge.json"}))
        << "the journal and the lock lie beside the file itself";
    EXPECT_EQ(posixMode(target), 0600);

    // The profile, and with it the settings' writer it shares, do the same.
    const QString realProfile = synced + QStringLiteral("/profile.json");
    ASSERT_TRUE(writeFile(realProfile, "not a profile") && QFile::link(realProfile, home.dataDir() + "/profile.json"));
    const ScopedEnv noProfileOverride("SELVANE_PROFILE_FILE", "");
    UserProfile profile;
    profile.text = QStringLiteral("follows physics");
    ASSERT_TRUE(ProfileStore::save(profile));
    EXPECT_TRUE(QFileInfo(home.dataDir() + QStringLiteral("/profile.json")).isSymLink());
    EXPECT_EQ(ProfileStore::load().value_or(UserProfile()).text, profile.text);
    EXPECT_EQ(QDir(synced).entryList({QStringLiteral("profile.json.corrupt-*")}).size(), 1)
        << "the unreadable one is kept beside its file";
}

// A child changes the knowledge base and reports each change once its call has returned; it is
// killed at a random moment, and a reopened store must hold every reported change, from a file
// that decodes, with nothing else beside it. KNOWLEDGE_CRASH_ROUNDS: 20 by default, 200 by hand.

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

TEST_F(KnowledgeSharingTest, AKilledWriterLosesNoReportedChangeAndLeavesNothingBroken)
{
    const int rounds = qEnvironmentVariable("KNOWLEDGE_CRASH_ROUNDS", QStringLiteral("20")).toInt();
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
        const QString journal = file + QStringLiteral(".journal");
        ASSERT_TRUE(writeFile(journal, readFile(journal) + R"({"op":"clear"})"));
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
