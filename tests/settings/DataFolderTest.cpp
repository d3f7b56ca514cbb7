#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>

#include "tests/support/Files.h"
#include "tests/support/OffscreenSession.h"

namespace {

// Programs started by a user whose umask lets others read new folders.
class DataFolderTest : public ::testing::Test {
protected:
    ~DataFolderTest() override { ::umask(m_umask); }

    const mode_t m_umask = ::umask(022);
    OffscreenSession session;
    QString config() const { return session.dataDir() + QStringLiteral("/config.json"); }
};

TEST_F(DataFolderTest, TheTrayMakesItOwnerOnlyBeforeItsFirstWrite)
{
    const std::unique_ptr<QProcess> tray = session.startTray();
    ASSERT_TRUE(
        OffscreenSession::waitFor([&] { return QFile::exists(session.dataDir() + QStringLiteral("/ax-debug.log")); }));
    EXPECT_EQ(posixMode(session.dataDir()), 0700);
}

// What becomes of a file that cannot be read at all, and what the user is told, is SettingsStoreTest's.
TEST_F(DataFolderTest, AskClosesAFolderLeftOpenAndTellsWhatItCouldNotUseOnStandardError)
{
    ASSERT_TRUE(QDir().mkpath(session.dataDir()));
    ASSERT_EQ(::chmod(QFile::encodeName(session.dataDir()).constData(), 0755), 0);
    ASSERT_TRUE(writeFile(config(), R"({"fontScale": "large", "autoRemember": false})"));

    const ProgramResult wrongType =
        session.run({QStringLiteral("--ask"), QStringLiteral("explain"), QStringLiteral("word")});
    EXPECT_EQ(posixMode(session.dataDir()), 0700);
    EXPECT_TRUE(
        wrongType.err.contains(QStringLiteral("The setting “fontScale” in %1 couldn’t be read").arg(config()).toUtf8()))
        << wrongType.err.toStdString();
    EXPECT_EQ(wrongType.err.count("fontScale"), 1) << "told once";
}

}
