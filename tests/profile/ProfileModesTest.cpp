// The profile's self-check and live check as the command line runs them, the live one against
// fake_ollama on port 11434 in a private network namespace (answering "回声：" + the last user
// message).
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/support/Files.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/RunProgram.h"
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

}
