#include <gtest/gtest.h>

#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "profile/ProfileEngine.h"
#include "profile/ProfileStore.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

// A user edit surviving regeneration, and one made while the engine answers, are checked by
// --selftest-profile (ProfileModesTest).
class ProfileRegenerateTest : public ::testing::Test {
protected:
    ScratchHome home;
    ScopedEnv noOverride{"SELVANE_PROFILE_FILE", QByteArray()};
    SemanticRecall noModels{std::make_shared<NoSentenceEmbedder>()};
    KnowledgeStore store{home.dataDir() + QStringLiteral("/knowledge.json"), noModels};
    QList<ChatMessages> requests;

    void fill(int count)
    {
        for (int i = 0; i < count; ++i)
            store.add(QStringLiteral("解释"), QStringLiteral("宏观经济 %1").arg(i), QStringLiteral("answer"),
                      QString());
    }

    // An engine that records each request and answers with `reply`.
    ProfileEngine::OneShotChat engine(std::optional<QString> reply)
    {
        return [this, reply](const ChatMessages& messages, std::stop_token) {
            requests.append(messages);
            return reply;
        };
    }
};

TEST_F(ProfileRegenerateTest, FiveEntriesAndAnAnswerGiveAStoredProfile)
{
    fill(4);
    ProfileEngine::regenerate(store, engine(QStringLiteral("**关注宏观经济**")));
    EXPECT_TRUE(requests.isEmpty()) << "fewer than five entries never ask the engine";
    EXPECT_FALSE(ProfileStore::load());

    store.addCollection(QStringLiteral("a snippet counts too"), QStringLiteral("划词"), QString());
    ProfileEngine::regenerate(store, engine(QStringLiteral("**关注宏观经济**")));
    ASSERT_EQ(requests.size(), 1);
    const ProfileEngine::GenerationMessages expected = ProfileEngine::buildGenerationMessages(store.all());
    EXPECT_EQ(requests.first(), ChatMessages({ChatMessage::system(expected.system), ChatMessage::user(expected.user)}));
    const std::optional<UserProfile> profile = ProfileStore::load();
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->text, QStringLiteral("关注宏观经济"));
    EXPECT_EQ(profile->basedOnCount, 5);
    EXPECT_EQ(profile->generatedAtCount, 5);
    EXPECT_FALSE(profile->userEdited);

    fill(30);
    ProfileEngine::regenerate(store, engine(QStringLiteral("新的画像")));
    EXPECT_EQ(ProfileStore::load()->basedOnCount, 30);
    EXPECT_EQ(ProfileStore::load()->generatedAtCount, 35);
}

TEST_F(ProfileRegenerateTest, NoEngineAFailureOrARejectedReplyKeepTheOldProfile)
{
    fill(6);
    UserProfile old;
    old.text = QStringLiteral("旧画像");
    old.generatedAtCount = 1;
    ASSERT_TRUE(ProfileStore::save(old));
    const UserProfile before = *ProfileStore::load();

    ProfileEngine::regenerate(store, {});
    ProfileEngine::regenerate(store, engine(std::nullopt));
    ProfileEngine::regenerate(store, engine(QStringLiteral("抱歉，我无法判断")));
    std::stop_source cancelled;
    cancelled.request_stop();
    ProfileEngine::regenerate(store, engine(QStringLiteral("被取消的画像")), cancelled.get_token());
    EXPECT_EQ(requests.size(), 3);
    EXPECT_EQ(ProfileStore::load(), before);
}

}
