// The update check against a version server in this process.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "tests/support/Files.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/Printers.h"
#include "tests/support/ScratchHome.h"
#include "update/UpdateChecker.h"

namespace {

using UpdateInfo = UpdateChecker::UpdateInfo;

class UpdateCheckerTest : public ::testing::Test {
protected:
    ScratchHome home;
    LocalHttpServer server;

    void SetUp() override
    {
        qunsetenv("XDG_CONFIG_HOME");
        serve("/missing", 404, "not here", "text/plain");
    }

    void serve(const char* path, int status, const std::string& body, const char* type = "application/json")
    {
        server.server.Get(path, [=](const httplib::Request&, httplib::Response& response) {
            response.status = status;
            response.set_content(body, type);
        });
    }

    void start() { ASSERT_TRUE(server.start()); }
    QString url(const char* path) const { return server.url(QString::fromLatin1(path)); }
};

TEST_F(UpdateCheckerTest, ReadsTheVersionDocumentAndNothingElse)
{
    serve("/full", 200, R"({"latest":" 9.1.0 ","url":"https://example.org/get","notes":"更快了"})");
    serve("/bare", 200, R"({"latest":"9.1","url":"file:///home/user/.bashrc"})");
    serve("/error-page", 500, R"({"latest":"9.2","notes":7})");
    serve("/blank", 200, R"({"latest":"   ","url":"https://example.org/get"})");
    serve("/number", 200, R"({"latest":9})");
    serve("/list", 200, R"([{"latest":"9.1"}])");
    serve("/html", 200, "<html>maintenance</html>", "text/html");
    start();

    EXPECT_EQ(
        UpdateChecker::fetch(std::chrono::seconds(3), {}, url("/full")),
        (UpdateInfo{QStringLiteral("9.1.0"), QStringLiteral("https://example.org/get"), QStringLiteral("更快了")}));
    EXPECT_EQ(UpdateChecker::fetch(std::chrono::seconds(3), {}, url("/bare")),
              (UpdateInfo{QStringLiteral("9.1"), UpdateChecker::fallbackDownloadPage(), QString()}))
        << "only a web page is offered to open";
    EXPECT_EQ(UpdateChecker::fetch(std::chrono::seconds(3), {}, url("/error-page")),
              (UpdateInfo{QStringLiteral("9.2"), UpdateChecker::fallbackDownloadPage(), QString()}))
        << "only the body is looked at";
    for (const char* path : {"/blank", "/number", "/list", "/html", "/missing"})
        EXPECT_EQ(UpdateChecker::fetch(std::chrono::seconds(3), {}, url(path)), std::nullopt) << path;
}

TEST_F(UpdateCheckerTest, TheSilentCheckAnnouncesEachVersionOnceAndTheManualOneAlwaysAnswers)
{
    serve("/v99", 200, R"({"latest":"99.0"})");
    serve("/v99.1", 200, R"({"latest":"99.1"})");
    serve("/old", 200, R"({"latest":"0.0.1"})");
    start();

    EXPECT_EQ(UpdateChecker::checkSilently({}, url("/old")), std::nullopt);
    ASSERT_TRUE(UpdateChecker::checkSilently({}, url("/v99")));
    EXPECT_EQ(UpdateChecker::checkSilently({}, url("/v99")), std::nullopt) << "announced already";
    EXPECT_TRUE(UpdateChecker::checkManually({}, url("/v99"))) << "asked, answered again";
    EXPECT_EQ(UpdateChecker::checkManually({}, QStringLiteral("http://127.0.0.1:1/v.json")), std::nullopt)
        << "unreachable: up to date";
    ASSERT_TRUE(UpdateChecker::checkManually({}, url("/v99.1")));
    EXPECT_EQ(UpdateChecker::checkSilently({}, url("/v99.1")), std::nullopt) << "the manual check silences it";
}

TEST_F(UpdateCheckerTest, DownloadReplacesTheFileInTheNamedDownloadsFolder)
{
    serve("/quillo_amd64.deb", 200, "new build", "application/vnd.debian.binary-package");
    start();
    EXPECT_EQ(UpdateChecker::downloadFolder(), home.path() + QStringLiteral("/Downloads"));
    writeFile(home.path() + QStringLiteral("/.config/user-dirs.dirs"), "XDG_DOWNLOAD_DIR=\"$HOME/Fetched\"\n");
    const QString target = home.path() + QStringLiteral("/Fetched/quillo_2.0-rc_amd64.deb");
    writeFile(target, "old build");

    EXPECT_EQ(UpdateChecker::download(QStringLiteral("2.0/rc"), {}, url("/missing")), std::nullopt);
    EXPECT_EQ(readFile(target), QByteArray("old build")) << "a failed download leaves the old file";

    EXPECT_EQ(UpdateChecker::download(QStringLiteral("2.0/rc"), {}, url("/quillo_amd64.deb")), target);
    EXPECT_EQ(readFile(target), QByteArray("new build"));
    EXPECT_EQ(QDir(home.path() + QStringLiteral("/Fetched")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QFileInfo(target).fileName()});
}

}
