// The built-in engine against fake_ollama installed in a throw-away prefix, on the real ports
// (the test runs in a private network namespace).
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include <unistd.h>

#include <QFileInfo>

#include "engines/EngineProcess.h"
#include "engines/ManagedOllama.h"
#include "engines/OllamaHttp.h"
#include "settings/SettingsStore.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/Printers.h"
#include "tests/support/ScratchHome.h"
#include "tests/support/TestPrefix.h"

using namespace std::chrono_literals;

namespace {

using PullError = ManagedOllama::PullError;
using PullPhase = ManagedOllama::PullPhase;

struct Progress {
    QList<PullPhase> phases;
    QStringList texts;
};

class ManagedEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ChildProcesses::adoptOrphans();
        qputenv("SELVANE_UI_LANG", "zh");
        qputenv("FAKE_OLLAMA_PULL_STEP_MS", "1"); // the engine inherits our environment
    }

    ScratchHome home;
    TestPrefix prefix;
    std::optional<UsePrefix> installed;

    void TearDown() override { ManagedOllama::terminateSync(); }

    void bundle(const QByteArray& script = {})
    {
        prefix.installEngine(script);
        installed.emplace(prefix);
    }

    static std::optional<PullError> pull(const QString& model, Progress* progress = nullptr, std::stop_token stop = {})
    {
        return ManagedOllama::pullModel(model, [progress](const PullPhase& phase, const QString& text) {
            if (progress) {
                progress->phases.append(phase);
                progress->texts.append(text);
            }
        }, stop);
    }
};

TEST_F(ManagedEngineTest, StartsAsOurChildWithPrivateModelsAndLogThenStops)
{
    bundle();
    ASSERT_TRUE(ManagedOllama::ensureRunning());
    const pid_t engine = EngineProcess::pid();
    ASSERT_GT(engine, 0);
    EXPECT_TRUE(ChildProcesses::childrenOf(getpid()).contains(engine));
    EXPECT_EQ(ManagedOllama::baseURL(), QStringLiteral("http://127.0.0.1:11435"));
    EXPECT_TRUE(ManagedOllama::dataDir().startsWith(home.path()));
    EXPECT_TRUE(QFileInfo(ManagedOllama::dataDir()).isDir());

    const QString logDir = home.dataDir() + QStringLiteral("/logs");
    EXPECT_EQ(posixMode(home.dataDir()), 0700);
    EXPECT_EQ(posixMode(logDir), 0700);
    EXPECT_EQ(posixMode(logDir + QStringLiteral("/managed-ollama.log")), 0600);
    EXPECT_TRUE(readFile(logDir + QStringLiteral("/managed-ollama.log")).contains("Listening on 127.0.0.1:11435"));

    ManagedOllama::terminateSync();
    EXPECT_TRUE(ChildProcesses::waitGone(engine, 0ms)) << "stopped and reaped before terminateSync returns";
    EXPECT_EQ(EngineProcess::pid(), 0);
    EXPECT_FALSE(ManagedOllama::isReady());
}

TEST_F(ManagedEngineTest, AdoptsAnEngineAlreadyAnswering)
{
    bundle();
    FakeOllamaServer earlier(QStringLiteral("127.0.0.1:11435"));
    ASSERT_TRUE(earlier.isAnswering());
    EXPECT_TRUE(ManagedOllama::ensureRunning());
    EXPECT_EQ(EngineProcess::pid(), 0) << "no second engine is launched";
}

TEST_F(ManagedEngineTest, RelaunchesAnEngineThatDied)
{
    bundle();
    ASSERT_TRUE(ManagedOllama::ensureRunning());
    const pid_t first = EngineProcess::pid();
    ::kill(first, SIGKILL);
    ASSERT_TRUE(ChildProcesses::waitGone(first, 5s));
    EXPECT_FALSE(ManagedOllama::isReady());

    ASSERT_TRUE(ManagedOllama::ensureRunning());
    EXPECT_GT(EngineProcess::pid(), 0);
    EXPECT_NE(EngineProcess::pid(), first);
}

TEST_F(ManagedEngineTest, RelaunchesWithinOneWaitWhenTheEngineDiesWhileStarting)
{
    bundle();
    // A server that is not ready holds the port, so every engine launched meanwhile exits at once.
    auto holder = std::make_unique<LocalHttpServer>();
    holder->server.Get(".*", [](const httplib::Request&, httplib::Response& response) { response.status = 503; });
    ASSERT_TRUE(holder->start(ManagedOllama::managedPort));
    std::jthread leave([&holder] {
        std::this_thread::sleep_for(2s);
        holder.reset();
    });
    ASSERT_TRUE(ManagedOllama::ensureRunning(20s));
    EXPECT_TRUE(ChildProcesses::childrenOf(getpid()).contains(EngineProcess::pid()));
}

TEST_F(ManagedEngineTest, PullsWithProgressThenListsAndDeletes)
{
    bundle();
    const QString model = QStringLiteral("qwen2.5:0.5b");
    Progress progress;
    ASSERT_EQ(pull(model, &progress), std::nullopt);

    ASSERT_GE(progress.phases.size(), 4);
    EXPECT_EQ(progress.phases.first(), PullPhase::downloading(0)) << "the manifest line";
    EXPECT_TRUE(progress.phases.contains(PullPhase::downloading(0.5)));
    EXPECT_TRUE(progress.texts.contains(QStringLiteral("正在下载模型… 50%")));
    const qsizetype verifying = progress.phases.indexOf(PullPhase::verifying());
    ASSERT_GT(verifying, 0);
    EXPECT_EQ(progress.texts[verifying], QStringLiteral("校验中…"));
    EXPECT_EQ(progress.phases.last(), PullPhase::done());
    EXPECT_EQ(progress.texts.last(), QStringLiteral("完成"));
    for (qsizetype i = verifying; i < progress.phases.size(); ++i)
        EXPECT_NE(progress.phases[i].kind, PullPhase::Kind::downloading) << "no download progress after verifying";

    EXPECT_EQ(ManagedOllama::listModels(), QStringList{model});
    EXPECT_TRUE(ManagedOllama::hasModel(QStringLiteral("qwen2.5")));
    EXPECT_TRUE(QFileInfo(ManagedOllama::dataDir() + QStringLiteral("/manifests/registry.ollama.ai/library/qwen2.5/0.5b")).isFile())
        << "the engine keeps its models in our model directory";

    EXPECT_TRUE(ManagedOllama::deleteModel(model));
    EXPECT_EQ(ManagedOllama::listModels(), QStringList());
    EXPECT_FALSE(ManagedOllama::deleteModel(model)) << "nothing left to delete";
}

TEST_F(ManagedEngineTest, CancellingAPullEndsItPromptlyAndInstallsNothing)
{
    bundle();
    std::stop_source stop;
    Progress progress;
    const auto error = ManagedOllama::pullModel(QStringLiteral("qwen2.5:0.5b[[stall:60]]"), [&](const PullPhase& phase, const QString&) {
        progress.phases.append(phase);
        if (phase.kind == PullPhase::Kind::downloading && phase.fraction >= 0.5)
            stop.request_stop();
    }, stop.get_token());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, PullError::Case::cancelled);
    EXPECT_EQ(error->description(), QStringLiteral("已取消下载。"));
    EXPECT_FALSE(progress.phases.contains(PullPhase::done()));
    EXPECT_EQ(ManagedOllama::listModels(), QStringList());
}

TEST_F(ManagedEngineTest, FailedPullsBecomeDownloadErrors)
{
    bundle();
    const auto unknown = pull(QStringLiteral("qwen9:1b[[unknown]]"));
    ASSERT_TRUE(unknown);
    EXPECT_EQ(*unknown, (PullError{PullError::Case::streamError, 0, QStringLiteral("pull model manifest: file does not exist")}));

    const auto refused = pull(QStringLiteral("qwen2.5:0.5b[[fail:500:registry down]]"));
    ASSERT_TRUE(refused);
    EXPECT_EQ(*refused, (PullError{PullError::Case::httpError, 500, QStringLiteral("{\"error\":\"registry down\"}\n")}));

    const auto dropped = pull(QStringLiteral("qwen2.5:0.5b[[drop]]"));
    ASSERT_TRUE(dropped);
    EXPECT_EQ(dropped->kind, PullError::Case::streamError) << dropped->description().toStdString();
    EXPECT_EQ(ManagedOllama::listModels(), QStringList());
}

TEST_F(ManagedEngineTest, AStreamEndingWithoutSuccessCountsOnlyWhenTheModelIsListed)
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

    const auto unfinished = pull(QStringLiteral("qwen2.5:0.5b"));
    ASSERT_TRUE(unfinished);
    EXPECT_EQ(unfinished->description(), QStringLiteral("下载出错：下载未完成，请重试"));

    listed = true;
    Progress progress;
    EXPECT_EQ(pull(QStringLiteral("qwen2.5:0.5b"), &progress), std::nullopt);
    EXPECT_EQ(progress.phases, (QList<PullPhase>{PullPhase::downloading(0), PullPhase::verifying(), PullPhase::done()}));
}

TEST_F(ManagedEngineTest, StaysOffWhenTheUserChoseTheirOwnOllama)
{
    bundle();
    changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
    FakeOllamaServer own;
    ASSERT_TRUE(own.pull(QStringLiteral("llama3:8b")));

    EXPECT_FALSE(ManagedOllama::ensureRunning(1s));
    EXPECT_EQ(pull(QStringLiteral("qwen2.5:0.5b")), (PullError{PullError::Case::serviceNotRunning, 0, {}}));
    EXPECT_FALSE(ManagedOllama::deleteModel(QStringLiteral("llama3:8b")));
    EXPECT_EQ(ManagedOllama::listModels(), QStringList{QStringLiteral("llama3:8b")}) << "models come from the user's Ollama";
    EXPECT_EQ(EngineProcess::pid(), 0);
}

TEST_F(ManagedEngineTest, WithoutABuiltInEngineNothingStarts)
{
    installed.emplace(prefix);
    EXPECT_FALSE(ManagedOllama::isBundled());
    EXPECT_FALSE(ManagedOllama::ensureRunning(1s));
    EXPECT_EQ(pull(QStringLiteral("qwen2.5:0.5b")), (PullError{PullError::Case::notBundled, 0, {}}));
    EXPECT_FALSE(ManagedOllama::deleteModel(QStringLiteral("qwen2.5:0.5b")));
    EXPECT_EQ(ManagedOllama::chatEndpoint(), QStringLiteral("http://127.0.0.1:11434/api/chat"));
}

TEST_F(ManagedEngineTest, TerminateKillsAnEngineThatIgnoresTheRequestToStop)
{
    bundle("#!/bin/sh\ntrap '' TERM\nexec sleep 30\n");
    EXPECT_FALSE(ManagedOllama::ensureRunning(1s)) << "it never answers";
    const pid_t stubborn = EngineProcess::pid();
    ASSERT_GT(stubborn, 0);

    const auto started = std::chrono::steady_clock::now();
    ManagedOllama::terminateSync();
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_TRUE(ChildProcesses::waitGone(stubborn, 0ms));
    EXPECT_GE(waited, 2900ms) << "it was given its grace period before SIGKILL";
    if (!ChildProcesses::waitGone(stubborn, 0ms))
        ChildProcesses::killAndReap(stubborn);
}

}
