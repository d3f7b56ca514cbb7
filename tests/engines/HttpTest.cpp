// The HTTP layer's own rules against servers inside this process, in a private network namespace.
// Requests, refusals, broken and stalled streams and cancellation are checked through the clients.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <QTemporaryDir>

#include "engines/http/Http.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/RunProgram.h"

using Code = TransportError::Code;

namespace {

Http::Request get(const QString& url)
{
    Http::Request request;
    request.url = url;
    return request;
}

TEST(HttpTest, LinesArriveAsTheyAreSentWithoutTheirEndings)
{
    // The rest follows once the client has seen the first line; a client that buffered it would
    // get "late" after five seconds instead.
    std::atomic<bool> seen = false;
    LocalHttpServer local;
    local.server.Get("/lines", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain", [&](size_t, httplib::DataSink& sink) {
            sink.write("one\r\n", 5);
            local.holdUntilReleased(std::chrono::seconds(5));
            sink.write(seen ? "tw" : "late\n", seen ? 2 : 5);
            sink.write("o\nthree", 7);
            sink.done();
            return true;
        });
    });
    ASSERT_TRUE(local.start());
    QList<QByteArray> lines;
    const Http::Response response = Http::streamLines(get(local.url(QStringLiteral("/lines"))), [&](const QByteArray& line) {
        lines.append(line);
        seen = true;
        local.release();
        return true;
    });
    EXPECT_TRUE(response.ok());
    EXPECT_EQ(lines, (QList<QByteArray>{"one", "two", "three"})) << "CRLF is stripped, split lines are joined, the last one is kept";
}

TEST(HttpTest, NoRedirectNoOtherProtocolAndNothingSentForAStoppedTask)
{
    std::atomic<int> requests = 0;
    LocalHttpServer local;
    local.server.Get("/moved", [&](const httplib::Request&, httplib::Response& res) {
        ++requests;
        res.set_redirect("http://127.0.0.1:1/elsewhere");
    });
    ASSERT_TRUE(local.start());
    EXPECT_EQ(Http::fetch(get(local.url(QStringLiteral("/moved")))).status, 302) << "a key must never follow a redirect to another host";

    std::stop_source stopped;
    stopped.request_stop();
    const Http::Response early = Http::fetch(get(local.url(QStringLiteral("/moved"))), stopped.get_token());
    EXPECT_EQ(early.error.value_or(TransportError()).code, Code::cancelled);
    EXPECT_EQ(requests, 1);

    const Http::Response refused = Http::fetch(get(QStringLiteral("http://127.0.0.1:9/"))); // nothing listens there
    EXPECT_EQ(refused.error.value_or(TransportError()).code, Code::cannotConnectToHost);
    EXPECT_EQ(refused.status, 0) << "no head arrived";

    EXPECT_TRUE(Http::isWebUrl(QStringLiteral("https://api.example.com/v1/chat/completions")));
    EXPECT_TRUE(Http::isWebUrl(QStringLiteral("http://127.0.0.1:11434/api/chat")));
    for (const char* bad : {"", "api.example.com/v1", "ftp://example.com/", "file:///etc/passwd", "https://", "http://exa mple.com/"})
        EXPECT_FALSE(Http::isWebUrl(QString::fromLatin1(bad))) << bad;
    const Http::Response file = Http::fetch(get(QStringLiteral("file:///etc/hostname")));
    EXPECT_FALSE(file.ok()) << "other protocols are refused by the transport too";
    EXPECT_TRUE(file.body.isEmpty());
}

TEST(HttpTest, ASelfSignedCertificateIsRefused)
{
    QTemporaryDir dir;
    const QString cert = dir.filePath(QStringLiteral("cert.pem"));
    const QString key = dir.filePath(QStringLiteral("key.pem"));
    const QString arguments = QStringLiteral("req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1");
    const ProgramResult made = runProgram(QStringLiteral("openssl"), arguments.split(QLatin1Char(' ')) + QStringList{QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();

    httplib::SSLServer server(cert.toLocal8Bit().constData(), key.toLocal8Bit().constData());
    ASSERT_TRUE(server.is_valid());
    server.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content("secret", "text/plain"); });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&server] { server.listen_after_bind(); });
    const Http::Response response = Http::fetch(get(QStringLiteral("https://127.0.0.1:%1/").arg(port)));
    server.stop();
    serving.join();
    EXPECT_EQ(response.error.value_or(TransportError{Code::cancelled, {}}).code, Code::other) << "an unverifiable certificate is never accepted";
    EXPECT_TRUE(response.body.isEmpty());
}

}
