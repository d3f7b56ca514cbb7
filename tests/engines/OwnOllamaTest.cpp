// The user's own Ollama: finding, starting and listing it, the quick probe, readiness and healing,
// against fake_ollama on the real ports (the test runs in a private network namespace).
#include <gtest/gtest.h>

#include <QFileInfo>

#include "engines/AIReadiness.h"
#include "engines/LocalEngineHeal.h"
#include "engines/ManagedOllama.h"
#include "engines/OllamaService.h"
#include "settings/SettingsStore.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/Printers.h"
#include "tests/support/ScratchHome.h"
#include "tests/support/TestPrefix.h"

using namespace std::chrono_literals;

namespace {

using Outcome = LocalEngineHeal::Outcome;

const QString qwen = QStringLiteral("qwen2.5:7b");
const QString llama = QStringLiteral("llama3:8b");
const QString mistral = QStringLiteral("mistral:7b");

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

class OwnOllamaTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ChildProcesses::adoptOrphans();
        qunsetenv("OLLAMA_HOST"); // `ollama list` asks the standard port
    }

    ScratchHome home;
    TestPrefix prefix;
    std::optional<UsePrefix> installed;

    QString ownExecutable() const { return home.path() + QStringLiteral("/.local/bin/ollama"); }

    // The user's `ollama` command, in the first place it is looked for.
    void installOwnOllama() const { writeExecutable(ownExecutable(), readFile(fakeOllamaBinary())); }

    void bundleEngine()
    {
        prefix.installEngine();
        installed.emplace(prefix);
    }
};

TEST_F(OwnOllamaTest, QuickProbeAsksTheStandardPortWhateverTheSettings)
{
    EXPECT_EQ(LocalEngineHeal::probeExternalModelsAsync(), QStringList()) << "nothing listening";

    bundleEngine();
    FakeOllamaServer builtIn(QStringLiteral("127.0.0.1:11435"));
    ASSERT_TRUE(builtIn.pull(mistral));
    FakeOllamaServer own;
    EXPECT_EQ(LocalEngineHeal::probeExternalModelsAsync(), QStringList()) << "running, but no models";
    ASSERT_TRUE(own.pull(qwen) && own.pull(llama));
    EXPECT_EQ(sorted(LocalEngineHeal::probeExternalModelsAsync()), sorted({qwen, llama}));
}

TEST_F(OwnOllamaTest, FindsTheUsersCommandAndListsItsModels)
{
    installOwnOllama();
    FakeOllamaServer own;
    ASSERT_TRUE(own.pull(qwen));
    EXPECT_EQ(OllamaService::ollamaPath(), ownExecutable());
    EXPECT_EQ(OllamaService::installedModels(), QStringList{qwen});
    EXPECT_TRUE(OllamaService::hasModel(QStringLiteral("qwen2.5")));
    EXPECT_FALSE(OllamaService::hasModel(QStringLiteral("qwen3:8b")));

    bundleEngine();
    EXPECT_EQ(OllamaService::installedModels(), QStringList()) << "the user's command is not asked in managed mode";
}

TEST_F(OwnOllamaTest, StartsTheUsersOllamaDetachedWhenNothingAnswers)
{
    changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
    installOwnOllama();
    EXPECT_FALSE(OllamaService::isRunning());
    ASSERT_TRUE(OllamaService::ensureRunning());
    EXPECT_TRUE(OllamaService::isRunning());
    EXPECT_TRUE(readFile(home.dataDir() + QStringLiteral("/logs/ollama.log")).contains("Listening on 127.0.0.1:11434"));

    const QList<pid_t> started = ChildProcesses::running(ownExecutable());
    EXPECT_EQ(started.size(), 1);
    for (const pid_t pid : started)
        ChildProcesses::killAndReap(pid);
}

TEST_F(OwnOllamaTest, ReadinessNeedsALocalEngineOrACloudKey)
{
    if (systemHasOllama())
        GTEST_SKIP() << "an ollama command is installed on this system";
    AppSettings withKey;
    withKey.cloudKeys.insert(QStringLiteral("kimi"), QStringLiteral("sk-1"));
    EXPECT_EQ(OllamaService::ollamaPath(), std::nullopt);
    EXPECT_FALSE(OllamaService::ensureRunning(1s));
    EXPECT_EQ(AIReadiness::current(AppSettings()), AIReadiness::neitherConfigured);
    EXPECT_EQ(AIReadiness::current(withKey), AIReadiness::cloudOnly);

    installOwnOllama();
    EXPECT_EQ(AIReadiness::current(AppSettings()), AIReadiness::localReady) << "an installed command counts, running or not";
    EXPECT_EQ(AIReadiness::current(withKey), AIReadiness::localReady) << "local first";

    QFile::remove(ownExecutable());
    bundleEngine();
    EXPECT_EQ(AIReadiness::current(AppSettings()), AIReadiness::localReady) << "a built-in engine counts without a model";
}

TEST_F(OwnOllamaTest, HealingSwitchesAnEmptyBuiltInEngineOnceAndKeepsTheConfiguredModel)
{
    bundleEngine();
    FakeOllamaServer own;
    ASSERT_TRUE(own.pull(llama) && own.pull(qwen));

    EXPECT_EQ(LocalEngineHeal::attempt(), Outcome::switchedToExternal(qwen));
    const AppSettings saved = SettingsStore::load(true);
    EXPECT_TRUE(saved.useExternalOllama);
    EXPECT_EQ(saved.qwenModel, qwen);
    EXPECT_EQ(LocalEngineHeal::attempt(), Outcome::noChange()) << "healing is one-way";
}

TEST_F(OwnOllamaTest, HealingLeavesAWorkingBuiltInEngineAndAnEmptyOwnOllamaAlone)
{
    bundleEngine();
    {
        FakeOllamaServer builtIn(QStringLiteral("127.0.0.1:11435"));
        ASSERT_TRUE(builtIn.pull(qwen));
        FakeOllamaServer own;
        ASSERT_TRUE(own.pull(llama));
        EXPECT_EQ(LocalEngineHeal::attempt(), Outcome::noChange());
    }
    EXPECT_EQ(LocalEngineHeal::attempt(), Outcome::noChange()) << "neither engine answers";
    FakeOllamaServer emptyOwn;
    EXPECT_EQ(LocalEngineHeal::attempt(), Outcome::noChange());
    EXPECT_FALSE(SettingsStore::load(true).useExternalOllama);
    EXPECT_FALSE(QFileInfo::exists(SettingsStore::path())) << "nothing was saved";
}

}
