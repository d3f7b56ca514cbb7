// Regeneration through the real engine clients, against fake_ollama on port 11434 and
// fake_openai, in a private network namespace. Both fakes answer "回声：" + the last user message.
// The local engine's success is checked by the --profile-livetest test.
#include <gtest/gtest.h>

#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "profile/ProfileEngine.h"
#include "profile/ProfileStore.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakeServers.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

class ProfileEngineChatTest : public ::testing::Test {
protected:
    ScratchHome home;
    ScopedEnv noOverride{"SELVANE_PROFILE_FILE", QByteArray()};
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};
    KnowledgeStore store{home.dataDir() + QStringLiteral("/knowledge.json"), noModels};

    void SetUp() override
    {
        for (int i = 0; i < 5; ++i)
            store.add(QStringLiteral("解释"), QStringLiteral("宏观经济 %1").arg(i), QStringLiteral("answer"), QString());
    }

    // The fakes echo the user message, which begins like this.
    static bool echoesTheRecords(const std::optional<UserProfile>& profile)
    {
        return profile && profile->text.startsWith(QStringLiteral("回声：以下是这个人的最近记录： 1. [解释] 原文：宏观经济 "))
            && profile->text.size() == ProfileEngine::maxProfileChars;
    }
};

TEST_F(ProfileEngineChatTest, TheCloudEngineAnswersWhenOnlyAKeyIsConfigured)
{
    FakeOpenAIServer cloud(18080, QStringLiteral("sk-test"));
    ASSERT_TRUE(cloud.isAnswering());
    changeSettings([&cloud](AppSettings& settings) {
        settings.activeProvider = QStringLiteral("custom");
        settings.customBaseURL = cloud.endpoint();
        settings.cloudKeys.insert(QStringLiteral("custom"), QStringLiteral("sk-test"));
    });

    ProfileEngine::regenerate(store, ProfileEngine::engineChat(AIReadiness::cloudOnly));
    EXPECT_TRUE(echoesTheRecords(ProfileStore::load()));
}

TEST_F(ProfileEngineChatTest, NeitherEngineOrAFailingOneLeavesNoProfile)
{
    EXPECT_FALSE(ProfileEngine::engineChat(AIReadiness::neitherConfigured));
    const auto ollama = ownOllamaWith(QStringLiteral("nomic-embed-text"));
    ASSERT_TRUE(ollama);
    ProfileEngine::regenerate(store, ProfileEngine::engineChat(AIReadiness::localReady));
    EXPECT_FALSE(ProfileStore::load()) << "the engine has no such model";
}

}
