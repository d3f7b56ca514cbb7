// The HTTP layer against servers inside this process (run in a private network namespace).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <QTemporaryDir>

#include "engines/http/Http.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/RunProgram.h"

using namespace std::chrono_literals;
using Code = TransportError::Code;

namespace {

struct Collected {
    QList<QByteArray> lines;
    Http::Response response;
};

Collected stream(const Http::Request& request, std::stop_token stop = {}, int stopAfter = -1)
{
    Collected collected;
    collected.response = Http::streamLines(
        request,
        [&](const QByteArray& line) {
            collected.lines.append(line);
            return collected.lines.size() != stopAfter;
        },
        stop);
    return collected;
}

Http::Request get(const QString& url, std::chrono::milliseconds idle = 10s)
{
    Http::Request request;
    request.url = url;
    request.idleTimeout = idle;
    return request;
}

class HttpTest : public ::testing::Test {
protected:
    LocalHttpServer local;
    std::atomic<int> requests = 0;

    void SetUp() override
    {
        local.server.set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
            ++requests;
            return httplib::Server::HandlerResponse::Unhandled;
        });
        local.server.Post("/echo", [](const httplib::Request& req, httplib::Response& res) { echo(req, res); });
        local.server.Delete("/echo", [](const httplib::Request& req, httplib::Response& res) { echo(req, res); });
        local.server.Get("/echo", [](const httplib::Request& req, httplib::Response& res) { echo(req, res); });
        local.server.Get("/teapot", [](const httplib::Request&, httplib::Response& res) {
            res.status = 418;
            res.set_content("line one\nline two\n", "text/plain");
        });
        local.server.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("http://127.0.0.1:1/elsewhere");
        });
        // The first line, then the rest once the client has seen it (or 5 s passed).
        local.server.Get("/lines", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/plain", [this](size_t, httplib::DataSink& sink) {
                sink.write("one\r\n", 5);
                local.holdUntilReleased(5s);
                sink.write("tw", 2);
                sink.write("o\nthree", 7);
                sink.done();
                return true;
            });
        });
        local.server.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("text/plain", [this](size_t, httplib::DataSink& sink) {
                sink.write("first\n", 6);
                local.holdUntilReleased();
                sink.done();
                return true;
            });
        });
        local.start();
    }

    static void echo(const httplib::Request& req, httplib::Response& res)
    {
        res.set_content(req.method + " " + req.get_header_value("Content-Type") + " " + req.get_header_value("X-Probe")
                            + " " + req.body,
                        "text/plain");
    }
};

TEST_F(HttpTest, FetchSendsMethodHeadersAndBodyAndReturnsWhatCameBack)
{
    for (const QByteArray method : {"POST", "DELETE", "GET"}) {
        Http::Request request = Http::Request::json(method, local.url(QStringLiteral("/echo")), {{QStringLiteral("k"), 1}});
        request.headers.append("X-Probe: yes");
        if (method == "GET")
            request.body.clear();
        const Http::Response response = Http::fetch(request);
        ASSERT_TRUE(response.ok()) << response.error->description().toStdString();
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.body, method + " application/json yes " + (method == "GET" ? "" : "{\"k\":1}"));
    }

    const Http::Response teapot = Http::fetch(get(local.url(QStringLiteral("/teapot"))));
    EXPECT_TRUE(teapot.ok()) << "an error status is an answer, not a transport failure";
    EXPECT_EQ(teapot.status, 418);
    EXPECT_EQ(teapot.body, "line one\nline two\n");

    const Http::Response moved = Http::fetch(get(local.url(QStringLiteral("/moved"))));
    EXPECT_EQ(moved.status, 302) << "redirects are not followed, so a key never reaches another host";
}

TEST_F(HttpTest, StreamDeliversEachLineAsItArrives)
{
    Collected collected;
    collected.response = Http::streamLines(get(local.url(QStringLiteral("/lines"))), [&](const QByteArray& line) {
        collected.lines.append(line);
        local.release(); // the server sends the rest only now: a buffering client would wait 5 s
        return true;
    });
    EXPECT_TRUE(collected.response.ok());
    EXPECT_EQ(collected.response.status, 200);
    EXPECT_EQ(collected.lines, (QList<QByteArray>{"one", "two", "three"}))
        << "CRLF is stripped, split lines are joined, the unterminated last line is kept";
}

TEST_F(HttpTest, StreamStopsWhenTheHandlerSaysSoAndErrorBodiesAreCollected)
{
    local.release();
    const Collected stopped = stream(get(local.url(QStringLiteral("/lines"))), {}, 1);
    EXPECT_TRUE(stopped.response.ok()) << "stopping on purpose is not a failure";
    EXPECT_EQ(stopped.lines, QList<QByteArray>{"one"});

    const Collected teapot = stream(get(local.url(QStringLiteral("/teapot"))));
    EXPECT_TRUE(teapot.response.ok());
    EXPECT_EQ(teapot.response.status, 418);
    EXPECT_TRUE(teapot.lines.isEmpty()) << "only a 2xx body is handed out line by line";
    EXPECT_EQ(teapot.response.body, "line one\nline two\n");
}

TEST_F(HttpTest, TransportFailuresAreClassified)
{
    // Failures after the head (a dropped or stalled stream) are checked through the chat clients.
    const Collected refused = stream(get(QStringLiteral("http://127.0.0.1:9/"))); // nothing listens there
    ASSERT_FALSE(refused.response.ok());
    EXPECT_EQ(refused.response.error->code, Code::cannotConnectToHost);
    EXPECT_EQ(refused.response.status, 0) << "no head arrived";

    const Http::Response nowhere = Http::fetch(get(QStringLiteral("http://nowhere.invalid/")));
    ASSERT_FALSE(nowhere.ok());
    EXPECT_TRUE(nowhere.error->code == Code::notConnectedToInternet || nowhere.error->code == Code::cannotFindHost)
        << nowhere.error->description().toStdString();
}

TEST_F(HttpTest, AStopRequestEndsTheWaitAndATaskStoppedBeforeSendsNothing)
{
    std::stop_source source;
    const Http::Response stalled = Http::streamLines(get(local.url(QStringLiteral("/stall")), 20s), [&](const QByteArray&) {
        source.request_stop(); // the server now sends nothing more: the stop must end the wait
        return true;
    }, source.get_token());
    ASSERT_FALSE(stalled.ok());
    EXPECT_EQ(stalled.error->code, Code::cancelled);

    const int before = requests;
    const Http::Response early = Http::fetch(get(local.url(QStringLiteral("/echo"))), source.get_token());
    ASSERT_FALSE(early.ok());
    EXPECT_EQ(early.error->code, Code::cancelled);
    EXPECT_EQ(requests, before);
}

TEST(HttpUrlTest, OnlyWebAddressesAreSpoken)
{
    EXPECT_TRUE(Http::isWebUrl(QStringLiteral("https://api.example.com/v1/chat/completions")));
    EXPECT_TRUE(Http::isWebUrl(QStringLiteral("http://127.0.0.1:11434/api/chat")));
    for (const char* bad : {"", "api.example.com/v1", "ftp://example.com/", "file:///etc/passwd", "https://", "http://exa mple.com/"})
        EXPECT_FALSE(Http::isWebUrl(QString::fromLatin1(bad))) << bad;

    const Http::Response file = Http::fetch(get(QStringLiteral("file:///etc/hostname")));
    ASSERT_FALSE(file.ok()) << "other protocols are refused by the transport too";
    EXPECT_TRUE(file.body.isEmpty());
}

TEST(HttpTlsTest, ASelfSignedCertificateIsRefused)
{
    QTemporaryDir dir;
    const QString cert = dir.filePath(QStringLiteral("cert.pem"));
    const QString key = dir.filePath(QStringLiteral("key.pem"));
    const ProgramResult made = runProgram(QStringLiteral("openssl"),
                                          {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                                           QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                                           QStringLiteral("1"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                                           QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                                           QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();

    httplib::SSLServer server(cert.toLocal8Bit().constData(), key.toLocal8Bit().constData());
    ASSERT_TRUE(server.is_valid());
    server.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content("secret", "text/plain"); });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&server] { server.listen_after_bind(); });

    const Http::Response response = Http::fetch(get(QStringLiteral("https://127.0.0.1:%1/").arg(port)));
    server.stop();
    serving.join();
    ASSERT_FALSE(response.ok()) << "an unverifiable certificate must never be accepted";
    EXPECT_EQ(response.error->code, Code::other);
    EXPECT_TRUE(response.body.isEmpty());
}

}
