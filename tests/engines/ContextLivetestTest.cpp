// --context-livetest against fake_ollama, and its cloud variant without a network.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "settings/SettingsStore.h"
#include "tests/support/FakeServers.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScratchHome.h"

namespace {

ProgramResult livetest(const ScratchHome& home, const QStringList& extra, const QString& key = {})
{
    QProcessEnvironment env = home.environment();
    env.remove(QStringLiteral("SELVANE_TEST_DOUBAO_KEY"));
    if (!key.isEmpty())
        env.insert(QStringLiteral("SELVANE_TEST_DOUBAO_KEY"), key);
    return runProgram(quilloBinary(), QStringList{QStringLiteral("--context-livetest")} + extra, env);
}

TEST(ContextLivetestTest, RunsEachActionWithItsContextOnTheLocalEngine)
{
    ScratchHome home;
    AppSettings settings;
    settings.useExternalOllama = true;
    settings.qwenModel = QStringLiteral("qwen2.5:0.5b");
    ASSERT_TRUE(SettingsStore::save(settings));
    FakeOllamaServer ollama;
    ASSERT_TRUE(ollama.pull(settings.qwenModel));

    const ProgramResult result = livetest(home, {});
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString();
    EXPECT_TRUE(result.out.endsWith("CONTEXT_LIVETEST_PASS\n")) << result.out.toStdString();

    QStringList userPrompts;
    for (const QJsonObject& request : ollama.recorded()) {
        if (request.value(QStringLiteral("path")).toString() == QLatin1String("/api/chat"))
            userPrompts.append(request.value(QStringLiteral("body")).toObject().value(QStringLiteral("messages")).toArray()[1].toObject()
                                   .value(QStringLiteral("content")).toString());
    }
    ASSERT_EQ(userPrompts.size(), 3);
    EXPECT_TRUE(userPrompts[0].contains(QStringLiteral("《苹果》")) && userPrompts[0].contains(QStringLiteral("iPhone")));
    EXPECT_TRUE(userPrompts[1].contains(QStringLiteral("《bank》")) && userPrompts[1].contains(QStringLiteral("river")));
}

TEST(ContextLivetestTest, TheCloudVariantNeedsItsKeyAndNeverPrintsIt)
{
    ScratchHome home;
    const ProgramResult withoutKey = livetest(home, {QStringLiteral("cloud")});
    EXPECT_EQ(withoutKey.exitCode, 1);
    EXPECT_TRUE(withoutKey.out.contains("CONTEXT_LIVETEST_FAIL: SELVANE_TEST_DOUBAO_KEY"));

    const QString key = QStringLiteral("sk-livetest-5ecret-0042");
    const ProgramResult offline = livetest(home, {QStringLiteral("cloud")}, key);
    EXPECT_EQ(offline.exitCode, 1);
    EXPECT_TRUE(offline.out.contains("CONTEXT_LIVETEST_FAIL")) << offline.out.toStdString();
    EXPECT_FALSE(offline.out.contains(key.toUtf8()) || offline.err.contains(key.toUtf8()));
    EXPECT_FALSE(QFile::exists(SettingsStore::path())) << "the user's settings are left alone";
}

}
