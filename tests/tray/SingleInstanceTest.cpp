#include <gtest/gtest.h>

#include <csignal>

#include "tests/support/OffscreenSession.h"
#include "tests/support/PrivateBus.h"
#include "tray/InstanceLock.h"
#include "tray/SingleInstance.h"

namespace {

const auto waitFor = &OffscreenSession::waitFor;
constexpr int generousMs = OffscreenSession::generousMs;

TEST(SingleInstance, WithoutASessionBusTheLockLetsOneTrayRunAndGoesWithIt)
{
    const OffscreenSession session;
    const std::unique_ptr<QProcess> first = session.startTray();
    ASSERT_TRUE(waitFor([] { return InstanceLock::heldElsewhere(); }));
    EXPECT_TRUE(InstanceLock::path().startsWith(session.runtimeDir()));

    const ProgramResult second = session.run({});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.out.contains("another Quillo is already running here")) << second.out.toStdString();
    EXPECT_EQ(first->state(), QProcess::Running);
    const ProgramResult trigger = session.run({QStringLiteral("--trigger")});
    EXPECT_EQ(trigger.exitCode, 1);
    EXPECT_TRUE(trigger.out.contains("Quillo is running, but not on this session bus")) << trigger.out.toStdString();

    // However the first one ends, the kernel lets its lock go and a new tray may start.
    first->kill();
    ASSERT_TRUE(first->waitForFinished(generousMs));
    EXPECT_FALSE(InstanceLock::heldElsewhere());
    EXPECT_TRUE(session.run({QStringLiteral("--quit")}).out.contains("Quillo is not running"));
    const std::unique_ptr<QProcess> successor = session.startTray();
    EXPECT_TRUE(waitFor([] { return InstanceLock::heldElsewhere(); }));
    EXPECT_EQ(successor->state(), QProcess::Running);
}

TEST(SingleInstance, AStoppedTrayIsNotAnsweringAndItsQueuedQuitEndsItWhenContinued)
{
    const OffscreenSession session;
    const PrivateBus bus; // the session's bus from here on
    ASSERT_TRUE(bus.isReady());
    const auto owned = [] { return quilloOnSessionBus(); };

    const std::unique_ptr<QProcess> tray = session.startTray();
    ASSERT_TRUE(waitFor(owned));
    ::kill(pid_t(tray->processId()), SIGSTOP);
    const ProgramResult quit = session.run({QStringLiteral("--quit")});
    EXPECT_EQ(quit.exitCode, 1);
    EXPECT_TRUE(quit.out.contains("Quillo is running but not answering")) << quit.out.toStdString();
    const ProgramResult trigger = session.run({QStringLiteral("--trigger")});
    EXPECT_TRUE(trigger.out.contains("not answering")) << trigger.out.toStdString();

    ::kill(pid_t(tray->processId()), SIGCONT);
    ASSERT_TRUE(tray->waitForFinished(generousMs)) << "the quit waiting in the bus reaches it";
    EXPECT_EQ(tray->exitCode(), 0);
    EXPECT_FALSE(owned());
    EXPECT_TRUE(session.run({QStringLiteral("--trigger")}).out.contains("Quillo is not running in this session"));
}

}
