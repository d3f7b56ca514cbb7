// The HTTP layer under both clients (which check requests, refusals, breaks and stops): the reader
// of HTTP/1.1 answers the loopback transport uses (its fuzz target feeds them in any pieces), lines
// as they stream, what is never followed or sent, and certificates. NETNS.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <QTemporaryDir>

#include "engines/http/Http.h"
#include "engines/http/ResponseReader.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/RunProgram.h"

namespace {

using Code = TransportError::Code;
using State = ResponseReader::State;

TEST(ResponseReaderTest, EveryFramingAndFault)
{
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const struct {
        QByteArray answer;
        State state;
        int status;
        QByteArray body;
        bool head = false; // the answer to a HEAD request
    } cases[] = {
        {chunked + "4;name=value\r\nWiki\r\n5\r\npedia\r\n0\r\nTrailer: x\r\n\r\n", State::done, 200, "Wikipedia"},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\ncontent-length: 4\r\n\r\nnopeEXTRA", State::done, 404,
         "nope"},
        {"HTTP/1.0 200 OK\r\n\r\nup to the close", State::done, 200, "up to the close"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n", State::done, 200, "", true},
        {"HTTP/1.1 204 No Content\r\n\r\n", State::done, 204, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort", State::cut, 200, "short"},
        {chunked + "5\r\nab", State::cut, 200, "ab"},
        {"", State::cut, 0, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", State::malformed, 0, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: -4\r\n\r\nabcd", State::malformed, 0, ""},
        {chunked + "zz\r\n", State::malformed, 200, ""},
        {chunked + "3\r\nabcd\r\n0\r\n\r\n", State::malformed, 200, "abc"},
        {"SSH-2.0-OpenSSH_9.2\r\n\r\n", State::malformed, 0, ""},
        {"HTTP/1.1 101 Switching Protocols\r\n\r\n", State::malformed, 0, ""},
    };
    for (const auto& [answer, state, status, body, head] : cases) {
        ResponseReader reader(head);
        QByteArray read;
        reader.feed(answer, [&read](QByteArrayView part) {
            read.append(part);
            return true;
        });
        EXPECT_TRUE(reader.close() == state && reader.status() == status && read == body) << answer.toStdString();
    }
}

Http::Request get(const QString& url)
{
    Http::Request request;
    request.url = url;
    return request;
}

TEST(HttpLayerTest, LinesArriveAsTheyAreSentWithoutTheirEndings)
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
    const Http::Response response =
        Http::streamLines(get(local.url(QStringLiteral("/lines"))), [&](const QByteArray& line) {
            lines.append(line);
            seen = true;
            local.release();
            return true;
        });
    EXPECT_TRUE(response.ok());
    EXPECT_EQ(lines, (QList<QByteArray>{"one", "two", "three"}))
        << "CRLF is stripped, split lines are joined, the last one is kept";
}

TEST(HttpLayerTest, AsGivenWithoutRedirectOrOtherProtocolAndNothingSentForAStoppedTask)
{
    std::atomic<int> requests = 0;
    LocalHttpServer local;
    local.server.Get("/moved", [&](const httplib::Request&, httplib::Response& res) {
        ++requests;
        res.set_redirect("http://127.0.0.1:1/elsewhere");
    });
    local.server.Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_param_value("q") + '|' + req.get_header_value("X-Probe"), "text/plain");
    });
    ASSERT_TRUE(local.start());
    Http::Request echo = get(local.url(QStringLiteral("/echo?q=two%20words")));
    echo.headers = {"X-Probe: yes"};
    EXPECT_EQ(Http::fetch(echo).body, "two words|yes") << "the query and the headers arrive as given";
    EXPECT_EQ(Http::fetch(get(local.url(QStringLiteral("/moved")))).status, 302)
        << "a key must never follow a redirect to another host";

    std::stop_source stopped;
    stopped.request_stop();
    const Http::Response early = Http::fetch(get(local.url(QStringLiteral("/moved"))), stopped.get_token());
    EXPECT_EQ(early.error.value_or(TransportError()).code, Code::cancelled);
    EXPECT_EQ(requests, 1);

    const Http::Response refused = Http::fetch(get(QStringLiteral("http://127.0.0.1:9/"))); // nothing listens there
    EXPECT_TRUE(refused.error && refused.error->code == Code::cannotConnectToHost && refused.status == 0)
        << "no head arrived";

    EXPECT_TRUE(Http::isWebUrl(QStringLiteral("https://api.example.com/v1/chat/completions"))
                && Http::isWebUrl(QStringLiteral("http://127.0.0.1:11434/api/chat")));
    for (const char* bad :
         {"", "api.example.com/v1", "ftp://example.com/", "file:///etc/passwd", "https://", "http://exa mple.com/"})
        EXPECT_FALSE(Http::isWebUrl(QString::fromLatin1(bad))) << bad;
    const Http::Response file = Http::fetch(get(QStringLiteral("file:///etc/hostname")));
    EXPECT_TRUE(!file.ok() && file.body.isEmpty()) << "other protocols are refused by the transport too";
}

TEST(HttpLayerTest, ASelfSignedCertificateIsRefused)
{
    QTemporaryDir dir;
    const QString cert = dir.filePath(QStringLiteral("cert.pem")), key = dir.filePath(QStringLiteral("key.pem"));
    const ProgramResult made = runProgram(QStringLiteral("openssl"),
                                          arguments("req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 "
                                                    "-addext subjectAltName=IP:127.0.0.1 -keyout")
                                              << key << QStringLiteral("-out") << cert);
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();

    httplib::SSLServer server(cert.toLocal8Bit().constData(), key.toLocal8Bit().constData());
    ASSERT_TRUE(server.is_valid());
    server.Get("/", [](const httplib::Request&, httplib::Response& res) { res.set_content("secret", "text/plain"); });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&server] { server.listen_after_bind(); });
    const Http::Response response = Http::fetch(get(QStringLiteral("https://127.0.0.1:%1/").arg(port)));
    server.stop();
    serving.join();
    EXPECT_TRUE(response.error && response.error->code == Code::untrustedCertificate && response.body.isEmpty())
        << "an unverifiable certificate is never accepted, and said to be the cause";
}

}
