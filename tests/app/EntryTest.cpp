#include <gtest/gtest.h>

#include <QDir>

#include "tests/support/RunProgram.h"
#include "tests/support/ScratchHome.h"

namespace {

class EntryTest : public ::testing::Test {
protected:
    ScratchHome home;

    ProgramResult quillo(const QStringList& args, bool withDisplay = false)
    {
        QProcessEnvironment env = home.environment();
        if (!withDisplay)
            env.remove(QStringLiteral("DISPLAY"));
        return runProgram(quilloBinary(), args, env);
    }
};

// --help is read by the manual page's check (man_page).
TEST_F(EntryTest, VersionTakesQtsOwnOptions)
{
    const ProgramResult version = quillo(arguments("-platform offscreen --version"));
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QByteArray("quillo " QUILLO_VERSION "\n")) << "Qt's own options are no unknown switches";
}

// A misspelt switch must not start the tray application, also where a desktop is there to start it in.
TEST_F(EntryTest, AnUnknownSwitchIsNamedOnOneLineAndExitsTwo)
{
    for (const QStringList& args :
         {arguments("--bogus"), arguments("--version -x"), arguments("--selftest-homedir=1")}) {
        const ProgramResult result = quillo(args, true);
        EXPECT_EQ(result.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(result.out.isEmpty());
        EXPECT_EQ(result.err, QByteArray("quillo: unknown switch ") + args.last().toUtf8() + " (see quillo --help)\n");
    }
    EXPECT_FALSE(QDir(home.dataDir()).exists()) << "nothing started";

    const ProgramResult ask = quillo(arguments("--ask explain --bogus x"));
    EXPECT_FALSE(ask.err.contains("unknown switch")) << "the options after --ask are its own to judge";
}

TEST_F(EntryTest, ModesThatNeedADesktopSaySoWithoutOne)
{
    const ProgramResult ax = quillo({QStringLiteral("--check-ax")});
    EXPECT_TRUE(ax.exitCode == 1 && ax.out == "AX_NOT_TRUSTED\n") << ax.out.toStdString();
    const ProgramResult demo = quillo({QStringLiteral("--demo")});
    EXPECT_TRUE(demo.exitCode == 1 && demo.err.startsWith("quillo: no desktop session here")) << demo.err.toStdString();
}

}
