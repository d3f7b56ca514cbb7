// The local engines through the real EngineControl: the built-in engine (fake_ollama in a scratch
// prefix) and the user's own Ollama (fake_ollama on 11434, and as their `ollama` command), NETNS.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QFileInfo>
#include <QThreadPool>

#include "engines/ollama/EngineProcess.h"
#include "engines/ollama/OllamaEngineControl.h"
#include "engines/ollama/OllamaService.h"
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

// Runs `call` with a stop token that fires once the file at `path` exists (looked for every 10 ms).
// A call that returns first ends the watch, so the test fails instead of hanging.
template <class Call>
auto stoppedOnceExists(const QString& path, Call call)
{
    std::stop_source stop;
    std::jthread stopper([&](std::stop_token returned) {
        while (!QFileInfo::exists(path) && !returned.stop_requested())
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
        qputenv("FAKE_OLLAMA_PULL_STEP_MS", "1"); // the engine inherits our environment
        qunsetenv("OLLAMA_HOST");                 // `ollama list` asks the standard port
    }

    ScratchHome home;
    TestPrefix prefix;
    std::optional<UsePrefix> installed;
    OllamaEngineControl engines;
    QList<PullPhase> phases;

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
    // How the pull ended: nothing, or the case of its error.
    std::optional<PullError::Case> pull(const QString& model)
    {
        const auto error =
            engines.pull(model, [this](const PullPhase& phase, const QString&) { phases.append(phase); }, {});
        return error ? std::optional(error->kind) : std::nullopt;
    }
};

TEST_F(LocalEnginesTest, TheBuiltInEngineRunsAsOurChildWithItsPrivateLogUntilShutdown)
{
    bundle();
    ASSERT_TRUE(engines.ensureRunning({}));
    const pid_t engine = EngineProcess::pid();
    EXPECT_TRUE(engine > 0 && ChildProcesses::childrenOf(getpid()).contains(engine));
    EXPECT_EQ(engines.baseURL(), QStringLiteral("http://127.0.0.1:11435"));
    const QString log = home.dataDir() + QStringLiteral("/logs/managed-ollama.log");
    EXPECT_EQ(posixMode(QFileInfo(log).path()), 0700);
    EXPECT_EQ(posixMode(log), 0600);
    EXPECT_TRUE(readFile(log).contains("Listening on 127.0.0.1:11435"));

    engines.shutdown();
    EXPECT_TRUE(ChildProcesses::waitGone(engine, 0ms) && !engines.isRunning({}))
        << "stopped and reaped before shutdown returns";
    FakeOllamaServer earlier(QStringLiteral("127.0.0.1:11435"));
    EXPECT_TRUE(earlier.isAnswering() && engines.ensureRunning({}));
    EXPECT_EQ(EngineProcess::pid(), 0) << "an engine already answering is adopted, not launched again";
}

TEST_F(LocalEnginesTest, AnEngineThatDiesWhileStartingIsRelaunchedWithinTheSameWait)
{
    bundle();
    // A server that is not ready holds the port, so every engine launched meanwhile exits at once; it
    // leaves after its third answer, when at least one engine has been launched and has died.
    std::atomic<int> asked = 0;
    auto holder = std::make_unique<LocalHttpServer>();
    holder->server.Get(".*", [&asked](const httplib::Request&, httplib::Response& response) {
        ++asked;
        response.status = 503;
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

TEST_F(LocalEnginesTest, PullsIntoOurModelDirectoryThenListsAndDeletes)
{
    bundle();
    ASSERT_EQ(pull(small), std::nullopt);
    EXPECT_TRUE(phases.first() == PullPhase::downloading(0) && phases.contains(PullPhase::downloading(0.5))
                && phases.contains(PullPhase::verifying()) && phases.last() == PullPhase::done());
    EXPECT_TRUE(
        QFileInfo(ManagedOllama::dataDir() + QStringLiteral("/manifests/registry.ollama.ai/library/qwen2.5/0.5b"))
            .isFile());

    EXPECT_EQ(engines.models({}), QStringList{small});
    EXPECT_TRUE(engines.hasModel(QStringLiteral("qwen2.5"), {}));
    EXPECT_TRUE(engines.deleteModel(small, {}));
    EXPECT_EQ(engines.models({}), QStringList());
    EXPECT_FALSE(engines.deleteModel(small, {})) << "nothing left to delete";
}

TEST_F(LocalEnginesTest, APullEndsCancelledWithItsErrorOrDoneOnlyWhenTheModelIsThere)
{
    bundle();
    std::stop_source stop;
    const auto cancelled = engines.pull(
        small + QStringLiteral("[[stall:60]]"),
        [&](const PullPhase& phase, const QString&) {
            if (phase.fraction >= 0.5)
                stop.request_stop(); // the engine then stalls: the pull must notice while it waits
        },
        stop.get_token());
    EXPECT_EQ(cancelled, (PullError{PullError::Case::cancelled, 0, {}}));

    EXPECT_EQ(engines.pull(small + QStringLiteral("[[fail:500:registry down]]"), {}, {}),
              (PullError{PullError::Case::httpError, 500, QStringLiteral("{\"error\":\"registry down\"}\n")}));
    EXPECT_EQ(pull(small + QStringLiteral("[[drop]]")), PullError::Case::streamError);
    EXPECT_FALSE(phases.contains(PullPhase::done()));
    EXPECT_EQ(engines.models({}), QStringList()) << "nothing was installed";

    // A stream that ends cleanly without "success" counts only when the model is listed afterwards.
    engines.shutdown();
    std::atomic<bool> listed = false; // read by the server's thread
    LocalHttpServer engine;
    engine.server.Get("/api/tags", [&listed](const httplib::Request&, httplib::Response& response) {
        response.set_content(listed ? R"({"models":[{"name":"qwen2.5:0.5b"}]})" : R"({"models":[]})",
                             "application/json");
    });
    engine.server.Post("/api/pull", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("{\"status\":\"pulling manifest\"}\n{\"status\":\"writing manifest\"}\n",
                             "application/x-ndjson");
    });
    ASSERT_TRUE(engine.start(ManagedOllama::managedPort));
    EXPECT_EQ(engines.pull(small, {}, {}),
              (PullError{PullError::Case::streamError, 0, QStringLiteral("下载未完成，请重试")}));
    listed = true;
    phases.clear();
    EXPECT_EQ(pull(small), std::nullopt);
    EXPECT_EQ(phases, (QList<PullPhase>{PullPhase::downloading(0), PullPhase::verifying(), PullPhase::done()}));
}

TEST_F(LocalEnginesTest, WaitingEndsOnAStopRequestAndShutdownKillsAnEngineThatIgnoresSigterm)
{
    const QString asked = home.path() + QStringLiteral("/asked-to-stop");
    const QString trapped = home.path() + QStringLiteral("/trapped"); // a TERM before the trap would kill it at once
    bundle("#!/bin/sh\ntrap 'echo > \"" + asked.toUtf8() + "\"' TERM\necho > \"" + trapped.toUtf8()
           + "\"\nwhile :; do sleep 0.1; done\n");
    EXPECT_FALSE(stoppedOnceExists(trapped, [&](std::stop_token stop) { return engines.ensureRunning(stop); }));
    const pid_t stubborn = EngineProcess::pid();
    ASSERT_GT(stubborn, 0);
    engines.shutdown();
    const bool gone = ChildProcesses::waitGone(stubborn, 0ms);
    EXPECT_TRUE(gone && QFileInfo::exists(asked)) << "asked to stop, given time, then killed";
    if (!gone)
        ChildProcesses::killAndReap(stubborn);
}

TEST_F(LocalEnginesTest, TheUsersCommandListsTheirModelsStartsTheirServerAndIsKilledOnAStopRequest)
{
    installOwnCommand();
    {
        FakeOllamaServer own;
        ASSERT_TRUE(own.pull(qwen));
        EXPECT_EQ(OllamaService::ollamaPath(), ownCommand());
        EXPECT_EQ(OllamaService::installedModels(), QStringList{qwen});
    }
    changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
    EXPECT_FALSE(engines.isRunning({}));
    EXPECT_TRUE(engines.ensureRunning({}) && engines.isRunning({})) << "started detached, as the user would";
    EXPECT_TRUE(readFile(home.dataDir() + QStringLiteral("/logs/ollama.log")).contains("Listening on 127.0.0.1:11434"));
    const QList<pid_t> started = ChildProcesses::running(ownCommand());
    EXPECT_EQ(started.size(), 1);
    for (const pid_t pid : started)
        ChildProcesses::killAndReap(pid);
    ASSERT_FALSE(engines.isRunning({})) << "the server started above is still answering";

    // A command that hangs, as `serve` (never answering) and as `list`.
    const QByteArray pidFile = home.path().toUtf8() + "/hanging.pid";
    installOwnCommand("#!/bin/sh\necho $$ > " + pidFile + ".new\nmv " + pidFile + ".new " + pidFile
                      + "\nexec sleep 60\n");
    EXPECT_FALSE(stoppedOnceExists(pidFile, [&](std::stop_token stop) { return engines.ensureRunning(stop); }));
    ChildProcesses::killAndReap(readFile(pidFile).trimmed().toInt());
    QFile::remove(pidFile);
    EXPECT_EQ(stoppedOnceExists(pidFile, [](std::stop_token stop) { return OllamaService::installedModels(stop); }),
              QStringList());
    EXPECT_TRUE(ChildProcesses::waitGone(readFile(pidFile).trimmed().toInt(), 0ms)) << "the hanging command is gone";
    bundle();
    EXPECT_EQ(OllamaService::installedModels(), QStringList()) << "the user's command is not asked in managed mode";
}

TEST_F(LocalEnginesTest, WithoutABuiltInEngineReadinessNeedsAnOwnOllamaOrACloudKey)
{
    if (systemHasOllama())
        GTEST_SKIP() << "an ollama command is installed on this system";
    installed.emplace(prefix);
    AppSettings withKey;
    withKey.cloudKeys.insert(QStringLiteral("kimi"), QStringLiteral("sk-1"));
    EXPECT_FALSE(engines.isBundled() || ManagedOllama::ensureRunning(1s) || engines.deleteModel(small, {}));
    EXPECT_EQ(pull(small), PullError::Case::notBundled);
    EXPECT_EQ(engines.baseURL(), QStringLiteral("http://127.0.0.1:11434"));
    EXPECT_EQ(engines.readiness(AppSettings(), {}), AIReadiness::neitherConfigured);
    EXPECT_EQ(engines.readiness(withKey, {}), AIReadiness::cloudOnly);
    {
        FakeOllamaServer own;
        ASSERT_TRUE(own.pull(qwen));
        EXPECT_EQ(engines.readiness(withKey, {}), AIReadiness::localReady)
            << "a server listing the model counts without a command";
    }
    installOwnCommand();
    EXPECT_TRUE(engines.readiness(AppSettings(), {}) == AIReadiness::localReady
                && engines.readiness(withKey, {}) == AIReadiness::localReady)
        << "an installed command counts, running or not, and comes first";
}

TEST_F(LocalEnginesTest, TheBuiltInEngineCountsWithoutAModelAndStaysOffWhenTheUserChoseTheirOwnOllama)
{
    bundle();
    EXPECT_EQ(engines.readiness(AppSettings(), {}), AIReadiness::localReady);
    changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
    FakeOllamaServer own;
    ASSERT_TRUE(own.pull(llama));
    EXPECT_FALSE(ManagedOllama::ensureRunning(1s) || engines.deleteModel(llama, {}));
    EXPECT_EQ(pull(small), PullError::Case::serviceNotRunning);
    EXPECT_EQ(engines.models({}), QStringList{llama}) << "models come from the user's Ollama";
    EXPECT_EQ(EngineProcess::pid(), 0);
}

TEST_F(LocalEnginesTest, HealingSwitchesAnEmptyBuiltInEngineToAnOwnOllamaWithModelsOnceFromABusyPool)
{
    bundle();
    FakeOllamaServer own;
    ASSERT_TRUE(own.pull(llama) && own.pull(qwen));
    {
        FakeOllamaServer builtIn(QStringLiteral("127.0.0.1:11435"));
        ASSERT_TRUE(builtIn.pull(qwen));
        EXPECT_EQ(engines.heal({}), Outcome::noChange()) << "a built-in engine with a model is kept";
        EXPECT_FALSE(QFileInfo::exists(SettingsStore::path())) << "nothing was saved";
    }
    EXPECT_EQ(engines.ownOllamaModels({}).size(), 2) << "the standard port is asked whatever the settings";
    // Every thread of the pool is taken by the caller itself: healing must not wait on that pool.
    QThreadPool& pool = *QThreadPool::globalInstance();
    const int threads = pool.maxThreadCount();
    pool.setMaxThreadCount(1);
    Outcome outcome;
    pool.start([&] { outcome = engines.heal({}); });
    pool.waitForDone();
    pool.setMaxThreadCount(threads);
    EXPECT_EQ(outcome, Outcome::switchedToExternal(qwen)) << "the configured model is kept";
    EXPECT_TRUE(SettingsStore::load(true).useExternalOllama && SettingsStore::load(true).qwenModel == qwen);
    EXPECT_EQ(engines.heal({}), Outcome::noChange()) << "healing is one-way";
}

}
