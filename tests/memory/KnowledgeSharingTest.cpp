// One knowledge base shared by several processes, and one kept behind symbolic links: real
// processes, each with its own store on the same file, and real links in a scratch home.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QThread>

#include "memory/KnowledgeCodec.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "profile/ProfileStore.h"
#include "settings/PrivateFile.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

class KnowledgeSharingTest : public ::testing::Test {
protected:
    ScratchHome home;
    const QString file = home.dataDir() + QStringLiteral("/knowledge.json");
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};

    // A process with a store of its own (tests/memory/KnowledgeWriter.cpp) that adds `count`
    // lookups named "<tag>-<n>", removing every fifth one again.
    static std::unique_ptr<QProcess> startWriter(const QString& path, const QString& tag, int count)
    {
        auto writer = std::make_unique<QProcess>();
        writer->setProcessChannelMode(QProcess::ForwardedChannels);
        writer->start(QStringLiteral(QUILLO_BIN_DIR "/knowledge_writer"), {path, tag, QString::number(count)});
        EXPECT_TRUE(writer->waitForStarted());
        return writer;
    }
    static void expectCleanExit(const std::unique_ptr<QProcess>& writer)
    {
        EXPECT_TRUE(writer->waitForFinished(120000));
        EXPECT_TRUE(writer->exitStatus() == QProcess::NormalExit && writer->exitCode() == 0) << writer->exitCode();
    }
    // The lookups a writer keeps.
    static QSet<QString> kept(const QString& tag, int count)
    {
        QSet<QString> sources;
        for (int i = 0; i < count; ++i) {
            if (i % 5 != 4)
                sources.insert(tag + QLatin1Char('-') + QString::number(i));
        }
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
    auto watcher = std::make_unique<KnowledgeStore>(file, noModels, 7);
    watcher->addChangeListener([&] { ++announced; });
    const auto first = startWriter(file, QStringLiteral("a"), each);
    const auto second = startWriter(file, QStringLiteral("b"), each);
    // This process changes the base too, while the others do.
    for (int i = 0; i < each; ++i) {
        const std::optional<QString> id =
            watcher->add(QStringLiteral("解释"), QStringLiteral("c-") + QString::number(i), {}, {});
        ASSERT_TRUE(id && (i % 5 != 4 || watcher->remove(*id)));
    }
    expectCleanExit(first);
    expectCleanExit(second);
    const QSet<QString> expected =
        kept(QStringLiteral("a"), each) + kept(QStringLiteral("b"), each) + kept(QStringLiteral("c"), each);

    const QDeadlineTimer deadline(30000);
    while (sourcesOf(watcher->all()) != expected && !deadline.hasExpired())
        QThread::msleep(5);
    EXPECT_EQ(sourcesOf(watcher->all()), expected) << "the open store reads what the others did";
    EXPECT_GT(announced, each) << "and announces it";
    EXPECT_EQ(watcher->count(), expected.size()) << "each entry once";

    // The last to quit, having caught up with the others, leaves the file alone complete.
    watcher.reset();
    const std::optional<QList<KnowledgeEntry>> onDisk = KnowledgeCodec::decode(readFile(file));
    ASSERT_TRUE(onDisk);
    EXPECT_EQ(sourcesOf(*onDisk), expected);
    EXPECT_EQ(onDisk->size(), expected.size());
}

TEST_F(KnowledgeSharingTest, ABaseBehindALinkIsWrittenWhereTheLinkPointsAndTheLinkStays)
{
    const QString synced = home.path() + QStringLiteral("/Sync");
    const QString target = synced + QStringLiteral("/knowledge.json");
    ASSERT_TRUE(QDir().mkpath(synced) && QDir().mkpath(home.dataDir()));
    {
        KnowledgeStore seed(target, noModels);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(seed.add(QStringLiteral("解释"), QStringLiteral("seed-") + QString::number(i), {}, {}));
    }
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

    // The profile and the settings' own writer do the same.
    const QString realProfile = synced + QStringLiteral("/profile.json");
    ASSERT_TRUE(writeFile(realProfile, "not a profile")
                && QFile::link(realProfile, home.dataDir() + QStringLiteral("/profile.json")));
    const ScopedEnv noProfileOverride("SELVANE_PROFILE_FILE", "");
    UserProfile profile;
    profile.text = QStringLiteral("follows physics");
    ASSERT_TRUE(ProfileStore::save(profile));
    EXPECT_TRUE(QFileInfo(home.dataDir() + QStringLiteral("/profile.json")).isSymLink());
    EXPECT_EQ(ProfileStore::load().value_or(UserProfile()).text, profile.text);
    EXPECT_EQ(QDir(synced).entryList({QStringLiteral("profile.json.corrupt-*")}).size(), 1)
        << "the unreadable one is kept beside its file";
    const QString config = home.dataDir() + QStringLiteral("/config.json");
    ASSERT_TRUE(writeFile(synced + QStringLiteral("/config.json"), "{}")
                && QFile::link(synced + QStringLiteral("/config.json"), config));
    ASSERT_TRUE(PrivateFile::writeAtomically(config, "{\"a\": 1}"));
    EXPECT_TRUE(QFileInfo(config).isSymLink());
    EXPECT_EQ(readFile(synced + QStringLiteral("/config.json")), "{\"a\": 1}");
}

}
