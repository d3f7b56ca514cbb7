// A real quillo process with fake_ollama installed as its built-in engine: the model pull and
// readiness checks, and the engine's end when quillo is told to stop or is killed outright.
#include <gtest/gtest.h>

#include <csignal>

#include <QProcess>

#include "settings/SettingsStore.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Printers.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScratchHome.h"
#include "tests/support/TestPrefix.h"

using namespace std::chrono_literals;

namespace {

const QByteArray engineReady = "引擎已就绪（/api/tags 200）\n";

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

    ProgramResult pullCheck(const QString& program, const QStringList& model = {}) const
    {
        return runProgram(program, QStringList{QStringLiteral("--selftest-pull")} + model, environment());
    }

    // Starts a pull that hangs halfway and returns the engine quillo started for it.
    pid_t startHangingPull(QProcess& quillo) const
    {
        quillo.setProcessEnvironment(environment());
        quillo.start(installedQuillo, {QStringLiteral("--selftest-pull"), QStringLiteral("qwen2.5:0.5b[[stall:60]]")});
        QByteArray printed;
        while (!printed.contains("PROGRESS") && quillo.waitForReadyRead(10000))
            printed += quillo.readAllStandardOutput();
        if (!printed.contains(engineReady))
            return 0;
        const QList<pid_t> children = ChildProcesses::childrenOf(pid_t(quillo.processId()));
        return children.size() == 1 ? children.first() : 0;
    }

    void expectEngineGone(pid_t pid) const
    {
        EXPECT_TRUE(ChildProcesses::waitGone(pid, 5s)) << "the engine outlived quillo";
        if (!ChildProcesses::waitGone(pid, 0ms))
            ChildProcesses::killAndReap(pid);
    }
};

TEST_F(EngineLifetimeTest, PullCheckDownloadsAnswersAndStopsItsEngine)
{
    const ProgramResult result = pullCheck(installedQuillo);
    ASSERT_EQ(result.exitCode, 0) << result.out.toStdString();
    const QList<QByteArray> lines = result.out.trimmed().split('\n');
    EXPECT_EQ(lines.first(), "isBundled=true endpoint=http://127.0.0.1:11435");
    EXPECT_EQ(lines[1] + '\n', engineReady);
    EXPECT_TRUE(lines.contains("下载完成。落地校验 hasModel=true"));
    EXPECT_TRUE(lines.contains("INFER_OK: 回声：请解释下面这段内容： 你好"));
    EXPECT_EQ(lines.last(), "PULL_SELFTEST_PASS");

    QList<int> percentages;
    for (const QByteArray& line : lines) {
        if (line.startsWith("PROGRESS: 正在下载模型… "))
            percentages.append(QString::fromUtf8(line).section(QLatin1Char(' '), 2).chopped(1).toInt());
    }
    ASSERT_FALSE(percentages.isEmpty());
    for (qsizetype i = 0; i < percentages.size(); ++i) {
        EXPECT_EQ(percentages[i] % 20, 0) << "printed " << percentages[i] << "%";
        EXPECT_TRUE(i == 0 || percentages[i] != percentages[i - 1]);
    }
    EXPECT_TRUE(lines.contains("PROGRESS: 校验中…"));

    EXPECT_EQ(SettingsStore::load(true).qwenModel, QStringLiteral("qwen2.5:0.5b")) << "the default model, now configured";
    EXPECT_EQ(ChildProcesses::running(engine), QList<pid_t>()) << "the check stops the engine it started";

    ASSERT_EQ(pullCheck(installedQuillo, {QStringLiteral("qwen2.5:3b")}).exitCode, 0);
    EXPECT_EQ(SettingsStore::load(true).qwenModel, QStringLiteral("qwen2.5:3b"));
}

TEST_F(EngineLifetimeTest, PullCheckNamesWhatFailed)
{
    const ProgramResult unbundled = pullCheck(quilloBinary());
    EXPECT_EQ(unbundled.out, "PULL_SELFTEST_FAIL: 不是内置模式（包里没注入 ollama 二进制）\n");
    EXPECT_EQ(unbundled.exitCode, 1);

    const ProgramResult unknown = pullCheck(installedQuillo, {QStringLiteral("qwen9:1b[[unknown]]")});
    EXPECT_TRUE(unknown.out.endsWith("PULL_SELFTEST_FAIL: pull 出错: 下载出错：pull model manifest: file does not exist\n"))
        << unknown.out.toStdString();
    EXPECT_EQ(unknown.exitCode, 1);
}

TEST_F(EngineLifetimeTest, NoEngineOutlivesQuilloStoppedOrKilled)
{
    for (const int signal : {SIGTERM, SIGKILL}) {
        QProcess quillo;
        const pid_t child = startHangingPull(quillo);
        ASSERT_GT(child, 0) << signal;
        ::kill(pid_t(quillo.processId()), signal);
        ASSERT_TRUE(quillo.waitForFinished(5000));
        expectEngineGone(child);
    }
}

TEST_F(EngineLifetimeTest, ReadinessCheckPasses)
{
    const ProgramResult plain = runProgram(quilloBinary(), {QStringLiteral("--selftest-ready")}, environment());
    EXPECT_TRUE(plain.out.endsWith("READY_SELFTEST_PASS\n")) << plain.out.toStdString();
    EXPECT_EQ(plain.exitCode, 0);

    const ProgramResult bundled = runProgram(installedQuillo, {QStringLiteral("--selftest-ready")}, environment());
    EXPECT_TRUE(bundled.out.contains("this system: localReady without a cloud key, localReady with one\n")) << bundled.out.toStdString();
    EXPECT_EQ(bundled.exitCode, 0);
}

}
