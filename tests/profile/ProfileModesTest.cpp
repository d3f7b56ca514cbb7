// The profile against real engines (fake_ollama on port 11434 and fake_openai, in a private
// network namespace, both answering "回声：" + the last user message): regeneration through the
// engine clients, and the self-check and live check as the command line runs them.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "engines/EngineChats.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "profile/ProfileEngine.h"
#include "profile/ProfileStore.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

class ProfileModesTest : public ::testing::Test {
protected:
    ScratchHome home;
    const QString knowledge = home.path() + QStringLiteral("/k.json");
    const QString profile = home.path() + QStringLiteral("/p.json");

    ProgramResult run(const QString& mode, const QStringList& files)
    {
        QProcessEnvironment env = home.environment();
        env.remove(QStringLiteral("SELVANE_KNOWLEDGE_FILE"));
        env.remove(QStringLiteral("SELVANE_PROFILE_FILE"));
        if (files.contains(QStringLiteral("knowledge")))
            env.insert(QStringLiteral("SELVANE_KNOWLEDGE_FILE"), knowledge);
        if (files.contains(QStringLiteral("profile")))
            env.insert(QStringLiteral("SELVANE_PROFILE_FILE"), profile);
        return runProgram(quilloBinary(), {mode}, env);
    }
};

TEST_F(ProfileModesTest, TheProfileCheckPassesOnThrowAwayFiles)
{
    const ProgramResult result = run(QStringLiteral("--selftest-profile"), {});
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString();
    EXPECT_TRUE(result.out.endsWith("\nPROFILE_SELFTEST_PASS\n"));
    EXPECT_FALSE(result.out.contains("FAIL"));
    EXPECT_FALSE(QFile::exists(home.dataDir() + QStringLiteral("/profile.json")));
}

TEST_F(ProfileModesTest, TheLiveCheckRefusesWithoutBothFiles)
{
    for (const QStringList& files : {QStringList(), QStringList{"knowledge"}, QStringList{"profile"}}) {
        const ProgramResult result = run(QStringLiteral("--profile-livetest"), files);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.out.startsWith("PROFILE_LIVETEST_FAIL: ")) << result.out.toStdString();
        EXPECT_EQ(result.out.count('\n'), 1);
        EXPECT_FALSE(QFile::exists(knowledge) || QFile::exists(profile));
    }
}

TEST_F(ProfileModesTest, TheLiveCheckGeneratesAProfileWithTheLocalEngine)
{
    const auto ollama = ownOllamaWith(QStringLiteral("qwen2.5:7b"));
    ASSERT_TRUE(ollama);

    const ProgramResult result = run(QStringLiteral("--profile-livetest"), {"knowledge", "profile"});
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString();
    EXPECT_TRUE(result.out.endsWith("\nPROFILE_LIVETEST_PASS\n"));
    const QJsonObject stored = QJsonDocument::fromJson(readFile(profile)).object();
    EXPECT_TRUE(stored.value("text").toString().startsWith(QStringLiteral("回声：以下是这个人的最近记录")));
    EXPECT_EQ(stored.value("generatedAtCount").toInt(), 5);
}

// Regeneration in this process, with the profile file and five lookups in the scratch home.
TEST_F(ProfileModesTest, TheEngineChatOfTheReadinessRegenerates)
{
    ScopedEnv profileFile("SELVANE_PROFILE_FILE", QFile::encodeName(profile));
    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    KnowledgeStore store(knowledge, noModels);
    for (int i = 0; i < 5; ++i)
        store.add(QStringLiteral("解释"), QStringLiteral("宏观经济 %1").arg(i), QStringLiteral("answer"), QString());

    EXPECT_FALSE(EngineChats::oneShot(AIReadiness::neitherConfigured));
    {
        const auto ollama = ownOllamaWith(QStringLiteral("nomic-embed-text"));
        ASSERT_TRUE(ollama);
        ProfileEngine::regenerate(store, EngineChats::oneShot(AIReadiness::localReady));
        EXPECT_FALSE(ProfileStore::load()) << "the engine has no such model";
    }

    FakeOpenAIServer cloud(18080, QStringLiteral("sk-test"));
    ASSERT_TRUE(cloud.isAnswering());
    useCustomCloud(cloud.endpoint(), QStringLiteral("sk-test"));
    ProfileEngine::regenerate(store, EngineChats::oneShot(AIReadiness::cloudOnly));
    const std::optional<UserProfile> learned = ProfileStore::load();
    ASSERT_TRUE(learned);
    EXPECT_TRUE(learned->text.startsWith(QStringLiteral("回声：以下是这个人的最近记录： 1. [解释] 原文：宏观经济 ")));
    EXPECT_EQ(learned->text.size(), ProfileEngine::maxProfileChars);
}

}
