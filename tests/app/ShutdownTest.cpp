// A run with an event loop ends in order on SIGTERM: its loop returns, the built-in engine it
// started is stopped, and the process exits by its own hand. In a private network namespace.
#include <gtest/gtest.h>

#include <csignal>

#include <QProcess>

#include "tests/support/ChildProcesses.h"
#include "tests/support/FakeServers.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"
#include "tests/support/TestPrefix.h"

using namespace std::chrono_literals;

TEST(Shutdown, SigtermEndsAnAskInOrderAndStopsTheBuiltInEngine)
{
    ScratchHome home;
    const ScopedEnv noOllamaHost{"OLLAMA_HOST", QByteArray()};
    ChildProcesses::adoptOrphans();
    TestPrefix prefix;
    const QString installed = prefix.installQuillo();
    prefix.installEngine();
    {
        QProcessEnvironment models; // the model, downloaded earlier into the built-in engine's directory
        models.insert(QStringLiteral("OLLAMA_MODELS"), home.path() + QStringLiteral("/.local/share/quillo/models"));
        const FakeOllamaServer earlier(QStringLiteral("127.0.0.1:11435"), models);
        ASSERT_TRUE(earlier.isAnswering() && earlier.pull(QStringLiteral("qwen2.5:7b")));
    }
    QProcess quillo;
    quillo.start(installed, {QStringLiteral("--ask"), QStringLiteral("explain"), QStringLiteral("停很久的文字[[stall:60]]")});
    ASSERT_TRUE(quillo.waitForReadyRead(60000)) << "the answer is streaming";
    const QList<pid_t> engines = ChildProcesses::childrenOf(pid_t(quillo.processId()));
    ASSERT_EQ(engines.size(), 1) << "quillo started its built-in engine";

    ::kill(pid_t(quillo.processId()), SIGTERM);
    ASSERT_TRUE(quillo.waitForFinished(10000));
    EXPECT_EQ(quillo.exitStatus(), QProcess::NormalExit) << "not killed by the signal";
    EXPECT_EQ(quillo.exitCode(), 128 + SIGTERM);
    EXPECT_TRUE(ChildProcesses::waitGone(engines.first(), 5s)) << "the engine outlived quillo";
    if (!ChildProcesses::waitGone(engines.first(), 0ms))
        ChildProcesses::killAndReap(engines.first());
}
