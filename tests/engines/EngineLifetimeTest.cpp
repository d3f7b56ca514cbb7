// A real quillo process, with fake_ollama installed as its built-in engine or running as the
// user's own: the engine's end when quillo is told to stop or is killed outright, and the
// command-line checks of the engines (pull, readiness, streams, actions with their context).
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include <QProcess>

#include "settings/SettingsStore.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/Printers.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScratchHome.h"
#include "tests/support/TestPrefix.h"

using namespace std::chrono_literals;

namespace {

class EngineLifetimeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ChildProcesses::adoptOrphans(); }

    ScratchHome home;
    TestPrefix prefix;
    QString installedQuillo = prefix.installQuillo();
    QString engine = prefix.installEngine();

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = home.environment();
        env.insert(QStringLiteral("SELVANE_UI_LANG"), QStringLiteral("zh"));
        env.insert(QStringLiteral("FAKE_OLLAMA_PULL_STEP_MS"), QStringLiteral("1"));
        env.remove(QStringLiteral("DISPLAY"));
        return env;
    }
    ProgramResult check(const QString& program, const QStringList& args) const
    {
        return runProgram(program, args, environment());
    }
};

TEST_F(EngineLifetimeTest, PullCheckDownloadsAnswersAndStopsItsEngineOrNamesWhatFailed)
{
    const ProgramResult result = check(installedQuillo, {QStringLiteral("--selftest-pull")});
    ASSERT_EQ(result.exitCode, 0) << result.out.toStdString();
    const QList<QByteArray> lines = result.out.trimmed().split('\n');
    EXPECT_TRUE(
        std::ranges::any_of(lines, [](const QByteArray& line) { return line.startsWith("PROGRESS: 正在下载模型… "); }));
    EXPECT_EQ(lines.last(), "PULL_SELFTEST_PASS");
    EXPECT_EQ(SettingsStore::load(true).qwenModel, QStringLiteral("qwen2.5:0.5b"))
        << "the default model, now configured";
    EXPECT_EQ(ChildProcesses::running(engine), QList<pid_t>()) << "the check stops the engine it started";

    const ProgramResult unknown = check(installedQuillo, arguments("--selftest-pull qwen9:1b[[unknown]]"));
    EXPECT_TRUE(
        unknown.exitCode == 1
        && unknown.out.endsWith("PULL_SELFTEST_FAIL: pull 出错: 下载出错：pull model manifest: file does not exist\n"));
    EXPECT_EQ(check(quilloBinary(), {QStringLiteral("--selftest-pull")}).out,
              "PULL_SELFTEST_FAIL: 不是内置模式（包里没注入 ollama 二进制）\n");
}

// SIGINT (Ctrl+C) and SIGTERM reach an ask, whose event loop then ends in order: the stalled answer is
// cancelled without a word, the engine is stopped and quillo exits by its own hand. SIGKILL reaches a
// pull check (a mode without an event loop, which any signal ends outright): the engine then goes by
// its parent-death signal.
TEST_F(EngineLifetimeTest, NoEngineOutlivesQuilloStoppedOrKilled)
{
    {
        QProcessEnvironment models; // the model, downloaded earlier into the built-in engine's directory
        models.insert(QStringLiteral("OLLAMA_MODELS"), home.path() + QStringLiteral("/.local/share/quillo/models"));
        const FakeOllamaServer earlier(QStringLiteral("127.0.0.1:11435"), models);
        ASSERT_TRUE(earlier.isAnswering() && earlier.pull(QStringLiteral("qwen2.5:7b")));
    }
    const QStringList stalledAsk = arguments("--ask explain 停很久的文字[[stall:60]]");
    const std::tuple<int, QStringList, QByteArray> runs[] = {
        // signal, arguments, printed before it is sent
        {SIGINT, stalledAsk, QByteArray()},
        {SIGTERM, stalledAsk, QByteArray()},
        {SIGKILL, arguments("--selftest-pull qwen2.5:0.5b[[stall:60]]"), "PROGRESS"},
    };
    for (const auto& [signal, args, marker] : runs) {
        QProcess quillo;
        QProcessEnvironment env = environment();
        env.remove(QStringLiteral("OLLAMA_HOST"));
        quillo.setProcessEnvironment(env);
        quillo.start(installedQuillo, args);
        QByteArray printed;
        while (quillo.waitForReadyRead(60000) && !(printed += quillo.readAllStandardOutput()).contains(marker)) { }
        const QList<pid_t> children = ChildProcesses::childrenOf(pid_t(quillo.processId()));
        ASSERT_EQ(children.size(), 1) << printed.toStdString();
        EXPECT_FALSE(readFile(QStringLiteral("/proc/%1/maps").arg(quillo.processId())).contains("libcurl"))
            << "talking to the local engine loads no libcurl";
        ::kill(pid_t(quillo.processId()), signal);
        ASSERT_TRUE(quillo.waitForFinished(10000));
        EXPECT_TRUE(signal == SIGKILL
                    || (quillo.exitStatus() == QProcess::NormalExit && quillo.exitCode() == 128 + signal
                        && quillo.readAllStandardError().isEmpty()))
            << "not ended in order by signal " << signal;
        EXPECT_TRUE(ChildProcesses::waitGone(children.first(), 5s))
            << "the engine outlived quillo (signal " << signal << ")";
        if (!ChildProcesses::waitGone(children.first(), 0ms))
            ChildProcesses::killAndReap(children.first());
    }
}

TEST_F(EngineLifetimeTest, TheStreamAndReadinessChecksPass)
{
    for (const char* mode : {"--selftest-stream", "--selftest-ready"}) {
        const ProgramResult result = check(installedQuillo, {QString::fromLatin1(mode)});
        EXPECT_EQ(result.exitCode, 0) << mode << "\n" << result.out.toStdString();
    }
}

TEST_F(EngineLifetimeTest, TheContextCheckRunsEachActionAndNeverPrintsTheCloudKey)
{
    const auto ollama = ownOllamaWith(QStringLiteral("qwen2.5:7b")); // the configured model
    ASSERT_TRUE(ollama);
    const ProgramResult local = check(quilloBinary(), {QStringLiteral("--context-livetest")});
    EXPECT_TRUE(local.exitCode == 0 && local.out.endsWith("CONTEXT_LIVETEST_PASS\n")) << local.out.toStdString();
    EXPECT_EQ(ollama->bodies().size(), 3) << "one request per action";

    const QString key = QStringLiteral("sk-livetest-5ecret-0042");
    const QByteArray settings = readFile(SettingsStore::path());
    for (const QString& given : {QString(), key}) {
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("SELVANE_TEST_DOUBAO_KEY"), given); // empty counts as unset
        const ProgramResult cloud =
            runProgram(quilloBinary(), {QStringLiteral("--context-livetest"), QStringLiteral("cloud")}, env);
        EXPECT_EQ(cloud.exitCode, 1) << "without the key, or without a network";
        EXPECT_TRUE(cloud.out.contains(given.isEmpty() ? "CONTEXT_LIVETEST_FAIL: SELVANE_TEST_DOUBAO_KEY"
                                                       : "CONTEXT_LIVETEST_FAIL"));
        EXPECT_FALSE(cloud.out.contains(key.toUtf8()) || cloud.err.contains(key.toUtf8()));
    }
    EXPECT_EQ(readFile(SettingsStore::path()), settings) << "the user's settings are left alone";
}

}
