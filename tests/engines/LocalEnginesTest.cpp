// The local engines through the real EngineControl: the built-in engine (fake_ollama installed in
// a throw-away prefix) and the user's own Ollama (fake_ollama on the standard port, and as their
// `ollama` command), on the real ports in a private network namespace.
#include <gtest/gtest.h>

#include <csignal>

#include <unistd.h>

#include <QFileInfo>
#include <QThreadPool>

#include "engines/EngineProcess.h"
#include "engines/OllamaEngineControl.h"
#include "engines/OllamaService.h"
#include "settings/SettingsStore.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/Printers.h"
#include "tests/support/ScratchHome.h"
#include "tests/support/TestPrefix.h"

using namespace std::chrono_literals;

namespace {

using PullError = ManagedOllama::PullError;
using PullPhase = ManagedOllama::PullPhase;
using Outcome = LocalEngineHeal::Outcome;

const QString qwen = QStringLiteral("qwen2.5:7b");
const QString llama = QStringLiteral("llama3:8b");
const QString small = QStringLiteral("qwen2.5:0.5b");

PullError failed(PullError::Case kind) { return {kind, 0, {}}; }

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

// Runs `call` with a token that is stopped once `ready` holds, looked at every 10 ms.
template <class Call>
auto stoppedWhen(const std::function<bool()>& ready, Call call)
{
    std::stop_source stop;
    std::jthread stopper([&] {
        while (!ready())
            std::this_thread::sleep_for(10ms);
        stop.request_stop();
    });
    return call(stop.get_token());
}

class LocalEnginesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ChildProcesses::adoptOrphans();
        qputenv("SELVANE_UI_LANG", "zh");
        qputenv("FAKE_OLLAMA_PULL_STEP_MS", "1"); // the engine inherits our environment
        qunsetenv("OLLAMA_HOST");                 // `ollama list` asks the standard port
    }

    ScratchHome home;
    TestPrefix prefix;
    std::optional<UsePrefix> installed;
    OllamaEngineControl engines;

    void TearDown() override { engines.shutdown(); }

    void bundle(const QByteArray& script = {})
    {
        prefix.installEngine(script);
        installed.emplace(prefix);
    }
    QString ownCommand() const { return home.path() + QStringLiteral("/.local/bin/ollama"); }
    // The user's `ollama` command, in the first place it is looked for.
    void installOwnCommand(const QByteArray& script = {}) const
    {
        writeExecutable(ownCommand(), script.isEmpty() ? readFile(fakeOllamaBinary()) : script);
    }
    std::optional<PullError> pull(const QString& model, QList<PullPhase>* phases = nullptr, QStringList* texts = nullptr)
    {
        return engines.pull(model, [&](const PullPhase& phase, const QString& text) {
            if (phases)
                phases->append(phase);
            if (texts)
                texts->append(text);
        }, {});
    }
};

TEST_F(LocalEnginesTest, TheBuiltInEngineRunsAsOurChildWithPrivateModelsAndLogUntilShutdown)
{
    bundle();
    ASSERT_TRUE(engines.ensureRunning({}));
    const pid_t engine = EngineProcess::pid();
    ASSERT_GT(engine, 0);
    EXPECT_TRUE(ChildProcesses::childrenOf(getpid()).contains(engine));
    EXPECT_EQ(engines.baseURL(), QStringLiteral("http://127.0.0.1:11435"));
    EXPECT_TRUE(ManagedOllama::dataDir().startsWith(home.path()));
    EXPECT_TRUE(QFileInfo(ManagedOllama::dataDir()).isDir());
    const QString logDir = home.dataDir() + QStringLiteral("/logs");
    EXPECT_EQ(posixMode(logDir), 0700);
    EXPECT_EQ(posixMode(logDir + QStringLiteral("/managed-ollama.log")), 0600);
    EXPECT_TRUE(readFile(logDir + QStringLiteral("/managed-ollama.log")).contains("Listening on 127.0.0.1:11435"));

    engines.shutdown();
    EXPECT_TRUE(ChildProcesses::waitGone(engine, 0ms)) << "stopped and reaped before shutdown returns";
    EXPECT_EQ(EngineProcess::pid(), 0);
    EXPECT_FALSE(engines.isRunning({}));

    FakeOllamaServer earlier(QStringLiteral("127.0.0.1:11435"));
    ASSERT_TRUE(earlier.isAnswering());
    EXPECT_TRUE(engines.ensureRunning({}));
    EXPECT_EQ(EngineProcess::pid(), 0) << "an engine already answering is adopted, not launched again";
}

TEST_F(LocalEnginesTest, AnEngineThatDiesWhileStartingIsRelaunchedWithinTheSameWait)
{
    bundle();
    // A server that is not ready holds the port, so every engine launched meanwhile exits at once;
    // it leaves after its third answer, when at least one engine has been launched and has died.
    std::atomic<int> asked = 0;
    auto holder = std::make_unique<LocalHttpServer>();
    holder->server.Get(".*", [&asked](const httplib::Request&, httplib::Response& response) {
        response.status = 503;
        ++asked;
    });
    ASSERT_TRUE(holder->start(ManagedOllama::managedPort));
    std::jthread leave([&] {
        while (asked < 3)
            std::this_thread::sleep_for(10ms);
        holder.reset();
    });
    ASSERT_TRUE(engines.ensureRunning({}));
    EXPECT_TRUE(ChildProcesses::childrenOf(getpid()).contains(EngineProcess::pid()));
}

TEST_F(LocalEnginesTest, PullsWithProgressThenListsAndDeletes)
{
    bundle();
    QList<PullPhase> phases;
    QStringList texts;
    ASSERT_EQ(pull(small, &phases, &texts), std::nullopt);
    ASSERT_GE(phases.size(), 4);
    EXPECT_EQ(phases.first(), PullPhase::downloading(0)) << "the manifest line";
    EXPECT_TRUE(texts.contains(QStringLiteral("正在下载模型… 50%")));
    const qsizetype verifying = phases.indexOf(PullPhase::verifying());
    ASSERT_GT(verifying, 0);
    EXPECT_EQ(texts[verifying], QStringLiteral("校验中…"));
    for (qsizetype i = verifying; i < phases.size(); ++i)
        EXPECT_NE(phases[i].kind, PullPhase::Kind::downloading) << "no download progress after verifying";
    EXPECT_EQ(phases.last(), PullPhase::done());
    EXPECT_EQ(texts.last(), QStringLiteral("完成"));

    EXPECT_EQ(engines.models({}), QStringList{small});
    EXPECT_TRUE(engines.hasModel(QStringLiteral("qwen2.5"), {}));
    EXPECT_TRUE(QFileInfo(ManagedOllama::dataDir() + QStringLiteral("/manifests/registry.ollama.ai/library/qwen2.5/0.5b")).isFile())
        << "the engine keeps its models in our model directory";
    EXPECT_TRUE(engines.deleteModel(small, {}));
    EXPECT_EQ(engines.models({}), QStringList());
    EXPECT_FALSE(engines.deleteModel(small, {})) << "nothing left to delete";
}

TEST_F(LocalEnginesTest, APullEndsCancelledOrWithItsErrorAndInstallsNothing)
{
    bundle();
    std::stop_source stop;
    QList<PullPhase> phases;
    const auto cancelled = engines.pull(small + QStringLiteral("[[stall:60]]"), [&](const PullPhase& phase, const QString&) {
        phases.append(phase);
        if (phase.fraction >= 0.5)
            stop.request_stop(); // the engine then stalls: the pull must notice while it waits
    }, stop.get_token());
    EXPECT_EQ(cancelled, failed(PullError::Case::cancelled));
    EXPECT_EQ(cancelled->description(), QStringLiteral("已取消下载。"));
    EXPECT_FALSE(phases.contains(PullPhase::done()));

    EXPECT_EQ(pull(QStringLiteral("qwen9:1b[[unknown]]")),
              (PullError{PullError::Case::streamError, 0, QStringLiteral("pull model manifest: file does not exist")}));
    EXPECT_EQ(pull(small + QStringLiteral("[[fail:500:registry down]]")),
              (PullError{PullError::Case::httpError, 500, QStringLiteral("{\"error\":\"registry down\"}\n")}));
    EXPECT_EQ(pull(small + QStringLiteral("[[drop]]")).value_or(failed(PullError::Case::cancelled)).kind, PullError::Case::streamError);
    EXPECT_EQ(engines.models({}), QStringList());
}

TEST_F(LocalEnginesTest, AStreamEndingWithoutSuccessCountsOnlyWhenTheModelIsListed)
{
    bundle();
    bool listed = false;
    LocalHttpServer engine;
    engine.server.Get("/api/tags", [&listed](const httplib::Request&, httplib::Response& response) {
        response.set_content(listed ? R"({"models":[{"name":"qwen2.5:0.5b"}]})" : R"({"models":[]})", "application/json");
    });
    engine.server.Post("/api/pull", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("{\"status\":\"pulling manifest\"}\n{\"status\":\"writing manifest\"}\n", "application/x-ndjson");
    });
    ASSERT_TRUE(engine.start(ManagedOllama::managedPort));

    EXPECT_EQ(pull(small).value_or(failed(PullError::Case::cancelled)).description(), QStringLiteral("下载出错：下载未完成，请重试"));
    listed = true;
    QList<PullPhase> phases;
    EXPECT_EQ(pull(small, &phases), std::nullopt);
    EXPECT_EQ(phases, (QList<PullPhase>{PullPhase::downloading(0), PullPhase::verifying(), PullPhase::done()}));
}

TEST_F(LocalEnginesTest, TheBuiltInEngineStaysOffWhenTheUserChoseTheirOwnOllamaOrNoneIsBundled)
{
    installed.emplace(prefix);
    EXPECT_FALSE(engines.isBundled());
    EXPECT_FALSE(ManagedOllama::ensureRunning(1s));
    EXPECT_EQ(pull(small), failed(PullError::Case::notBundled));
    EXPECT_FALSE(engines.deleteModel(small, {}));
    EXPECT_EQ(ManagedOllama::chatEndpoint(), QStringLiteral("http://127.0.0.1:11434/api/chat"));

    bundle();
    changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
    FakeOllamaServer own;
    ASSERT_TRUE(own.pull(llama));
    EXPECT_FALSE(ManagedOllama::ensureRunning(1s));
    EXPECT_EQ(pull(small), failed(PullError::Case::serviceNotRunning));
    EXPECT_FALSE(engines.deleteModel(llama, {}));
    EXPECT_EQ(engines.models({}), QStringList{llama}) << "models come from the user's Ollama";
    EXPECT_EQ(EngineProcess::pid(), 0);
}

TEST_F(LocalEnginesTest, WaitingEndsOnAStopRequestAndShutdownKillsAnEngineThatIgnoresSigterm)
{
    const QString asked = home.path() + QStringLiteral("/asked-to-stop");
    bundle("#!/bin/sh\ntrap 'echo > \"" + asked.toUtf8() + "\"' TERM\nwhile :; do sleep 0.1; done\n");
    EXPECT_FALSE(stoppedWhen([] { return EngineProcess::pid() > 0; }, [&](std::stop_token stop) { return engines.ensureRunning(stop); }));
    const pid_t stubborn = EngineProcess::pid();
    ASSERT_GT(stubborn, 0);

    engines.shutdown();
    EXPECT_TRUE(ChildProcesses::waitGone(stubborn, 0ms));
    EXPECT_TRUE(QFileInfo::exists(asked)) << "it was asked to stop and given time before it was killed";
    if (!ChildProcesses::waitGone(stubborn, 0ms))
        ChildProcesses::killAndReap(stubborn);
}

TEST_F(LocalEnginesTest, TheQuickProbeAsksTheStandardPortWhateverTheSettings)
{
    EXPECT_EQ(engines.ownOllamaModels({}), QStringList()) << "nothing listening";
    bundle();
    FakeOllamaServer builtIn(QStringLiteral("127.0.0.1:11435"));
    ASSERT_TRUE(builtIn.pull(small));
    FakeOllamaServer own;
    EXPECT_EQ(engines.ownOllamaModels({}), QStringList()) << "running, but no models";
    ASSERT_TRUE(own.pull(qwen) && own.pull(llama));
    EXPECT_EQ(sorted(engines.ownOllamaModels({})), sorted({qwen, llama}));
}

TEST_F(LocalEnginesTest, TheUsersCommandListsTheirModelsAndIsKilledOnAStopRequest)
{
    installOwnCommand();
    {
        FakeOllamaServer own;
        ASSERT_TRUE(own.pull(qwen));
        EXPECT_EQ(OllamaService::ollamaPath(), ownCommand());
        EXPECT_EQ(OllamaService::installedModels(), QStringList{qwen});
        EXPECT_TRUE(OllamaService::hasModel(QStringLiteral("qwen2.5")));
        EXPECT_FALSE(OllamaService::hasModel(QStringLiteral("qwen3:8b")));
    }
    const QString pidFile = home.path() + QStringLiteral("/list.pid");
    installOwnCommand("#!/bin/sh\necho $$ > \"" + pidFile.toUtf8() + ".tmp\"\nmv \"" + pidFile.toUtf8() + ".tmp\" \"" + pidFile.toUtf8() + "\"\nexec sleep 60\n");
    EXPECT_EQ(stoppedWhen([&] { return QFileInfo::exists(pidFile); }, [](std::stop_token stop) { return OllamaService::installedModels(stop); }),
              QStringList());
    EXPECT_TRUE(ChildProcesses::waitGone(readFile(pidFile).trimmed().toInt(), 0ms)) << "the hanging command is gone";

    bundle();
    EXPECT_EQ(OllamaService::installedModels(), QStringList()) << "the user's command is not asked in managed mode";
}

TEST_F(LocalEnginesTest, StartsTheUsersOllamaDetachedWhenNothingAnswers)
{
    changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
    installOwnCommand();
    EXPECT_FALSE(engines.isRunning({}));
    ASSERT_TRUE(engines.ensureRunning({}));
    EXPECT_TRUE(engines.isRunning({}));
    EXPECT_TRUE(readFile(home.dataDir() + QStringLiteral("/logs/ollama.log")).contains("Listening on 127.0.0.1:11434"));
    const QList<pid_t> started = ChildProcesses::running(ownCommand());
    EXPECT_EQ(started.size(), 1);
    for (const pid_t pid : started)
        ChildProcesses::killAndReap(pid);
}

TEST_F(LocalEnginesTest, ReadinessNeedsALocalEngineOrACloudKey)
{
    if (systemHasOllama())
        GTEST_SKIP() << "an ollama command is installed on this system";
    AppSettings withKey;
    withKey.cloudKeys.insert(QStringLiteral("kimi"), QStringLiteral("sk-1"));
    EXPECT_FALSE(OllamaService::ensureRunning(1s)) << "no command to start";
    EXPECT_EQ(engines.readiness(AppSettings(), {}), AIReadiness::neitherConfigured);
    EXPECT_EQ(engines.readiness(withKey, {}), AIReadiness::cloudOnly);
    {
        FakeOllamaServer own;
        ASSERT_TRUE(own.pull(qwen));
        EXPECT_EQ(engines.readiness(withKey, {}), AIReadiness::localReady) << "a server listing the model counts without a command";
    }
    installOwnCommand();
    EXPECT_EQ(engines.readiness(AppSettings(), {}), AIReadiness::localReady) << "an installed command counts, running or not";
    EXPECT_EQ(engines.readiness(withKey, {}), AIReadiness::localReady) << "local first";
    QFile::remove(ownCommand());
    bundle();
    EXPECT_EQ(engines.readiness(AppSettings(), {}), AIReadiness::localReady) << "a built-in engine counts without a model";
}

TEST_F(LocalEnginesTest, HealingFromABusyPoolSwitchesAnEmptyBuiltInEngineOnceAndKeepsTheConfiguredModel)
{
    bundle();
    FakeOllamaServer own;
    ASSERT_TRUE(own.pull(llama) && own.pull(qwen));

    // Every thread of the pool is taken by the caller itself: healing must not wait on that pool.
    QThreadPool& pool = *QThreadPool::globalInstance();
    const int threads = pool.maxThreadCount();
    pool.setMaxThreadCount(1);
    Outcome outcome;
    pool.start([&] { outcome = engines.heal({}); });
    pool.waitForDone();
    pool.setMaxThreadCount(threads);
    EXPECT_EQ(outcome, Outcome::switchedToExternal(qwen));

    const AppSettings saved = SettingsStore::load(true);
    EXPECT_TRUE(saved.useExternalOllama);
    EXPECT_EQ(saved.qwenModel, qwen);
    EXPECT_EQ(engines.heal({}), Outcome::noChange()) << "healing is one-way";
}

TEST_F(LocalEnginesTest, HealingLeavesAWorkingBuiltInEngineAndAnEmptyOwnOllamaAlone)
{
    bundle();
    {
        FakeOllamaServer builtIn(QStringLiteral("127.0.0.1:11435"));
        ASSERT_TRUE(builtIn.pull(qwen));
        FakeOllamaServer own;
        ASSERT_TRUE(own.pull(llama));
        EXPECT_EQ(engines.heal({}), Outcome::noChange());
    }
    EXPECT_EQ(engines.heal({}), Outcome::noChange()) << "neither engine answers";
    FakeOllamaServer emptyOwn;
    EXPECT_EQ(engines.heal({}), Outcome::noChange());
    EXPECT_FALSE(QFileInfo::exists(SettingsStore::path())) << "nothing was saved";
}

}
