// How exchanges travel: the reader of HTTP/1.1 answers the loopback transport uses, fed every
// framing and fault in one piece and byte by byte; and which transport carries what. NETNS.
#include <gtest/gtest.h>

#include <QFile>

#include "engines/http/Http.h"
#include "engines/http/ResponseReader.h"
#include "tests/support/LocalHttpServer.h"

namespace {

using State = ResponseReader::State;

struct Read {
    State state;
    int status;
    QByteArray body;
    bool operator==(const Read&) const = default;
};
void PrintTo(const Read& read, std::ostream* os)
{
    *os << "state " << int(read.state) << ", status " << read.status << ", body \"" << read.body.toStdString() << '"';
}

// Feeds the answer in pieces of `piece` bytes, then closes the connection if it is still wanted.
Read readAnswer(const QByteArray& bytes, qsizetype piece, bool answersHead)
{
    ResponseReader reader(answersHead);
    QByteArray body;
    const auto sink = [&body](QByteArrayView part) {
        body.append(part);
        return true;
    };
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        reader.feed(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)), sink);
    if (reader.state() == State::head || reader.state() == State::body)
        reader.close();
    return {reader.state(), reader.status(), body};
}

TEST(ResponseReaderTest, EveryFramingAndFaultReadsTheSameWhateverPiecesItArrivesIn)
{
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const struct {
        QByteArray bytes;
        Read expected;
        bool answersHead = false;
    } cases[] = {
        {chunked + "4;name=value\r\nWiki\r\n5\r\npedia\r\n0\r\nTrailer: x\r\n\r\n", {State::done, 200, "Wikipedia"}},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\ncontent-length: 4\r\n\r\nnopeEXTRA",
         {State::done, 404, "nope"}},
        {"HTTP/1.0 200 OK\r\n\r\nup to the close", {State::done, 200, "up to the close"}},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n", {State::done, 200, ""}, true},
        {"HTTP/1.1 204 No Content\r\n\r\n", {State::done, 204, ""}},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort", {State::cut, 200, "short"}},
        {chunked + "5\r\nab", {State::cut, 200, "ab"}},
        {"", {State::cut, 0, ""}},
        {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", {State::malformed, 0, ""}},
        {"HTTP/1.1 200 OK\r\nContent-Length: -4\r\n\r\nabcd", {State::malformed, 0, ""}},
        {chunked + "zz\r\n", {State::malformed, 200, ""}},
        {chunked + "3\r\nabcd\r\n0\r\n\r\n", {State::malformed, 200, "abc"}},
        {"HTTP/2 200\r\n\r\n", {State::malformed, 0, ""}},
        {"SSH-2.0-OpenSSH_9.2\r\n\r\n", {State::malformed, 0, ""}},
        {"HTTP/1.1 101 Switching Protocols\r\n\r\n", {State::malformed, 0, ""}},
    };
    for (const auto& answer : cases) {
        EXPECT_EQ(readAnswer(answer.bytes, answer.bytes.size() + 1, answer.answersHead), answer.expected)
            << answer.bytes.toStdString();
        EXPECT_EQ(readAnswer(answer.bytes, 1, answer.answersHead), answer.expected) << answer.bytes.toStdString();
    }
}

bool mapsLibcurl()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libcurl");
}

TEST(HttpTransportTest, LoopbackHttpLoadsNoHttpLibraryAndAnythingElseGoesThroughTheModule)
{
    LocalHttpServer local;
    local.server.Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_param_value("q") + '|' + req.get_header_value("X-Probe"), "text/plain");
    });
    ASSERT_TRUE(local.start());
    Http::Request request;
    request.url = local.url(QStringLiteral("/echo?q=two%20words"));
    request.headers = {"X-Probe: yes"};
    const Http::Response echoed = Http::fetch(request);
    EXPECT_TRUE(echoed.ok() && echoed.connected && echoed.status == 200);
    EXPECT_EQ(echoed.body, "two words|yes") << "the query and the headers arrive as given";
    EXPECT_FALSE(mapsLibcurl()) << "the start talks to the local engine without mapping libcurl and its TLS stack";

    request.url = QStringLiteral("https://127.0.0.1:9/"); // nothing listens there
    const Http::Response refused = Http::fetch(request);
    EXPECT_EQ(refused.error.value_or(TransportError()).code, TransportError::Code::cannotConnectToHost);
    EXPECT_TRUE(mapsLibcurl()) << "https goes through libcurl, loaded from its module";
}

}
