// The local engine client against fake_ollama (and, for exact bodies, a server inside the
// test) on the real port 11434, in a private network namespace.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "engines/QwenClient.h"
#include "engines/http/Http.h"
#include "settings/SettingsStore.h"
#include "tests/engines/EngineTestSupport.h"
#include "tests/support/FakeServers.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/ScratchHome.h"

using namespace std::chrono_literals;
using Kind = QwenError::Kind;

namespace {

const QString model = QStringLiteral("qwen2.5:7b"); // the default local model

void useOwnOllama()
{
    changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
}

Streamed ask(const QString& text, std::stop_token stop = {})
{
    return collectStream([&](const DeltaHandler& onDelta) {
        return QwenClient::runChatStream({ChatMessage::system(QStringLiteral("系统")), ChatMessage::user(text)}, onDelta, stop);
    });
}

class QwenClientTest : public ::testing::Test {
protected:
    ScratchHome home;
    std::unique_ptr<FakeOllamaServer> ollama = ownOllamaWith(model);

    void SetUp() override { ASSERT_TRUE(ollama); }
};

TEST_F(QwenClientTest, StreamsTheAnswerAndSendsExactlyTheDocumentedRequests)
{
    const Streamed streamed = ask(QStringLiteral("椰林深处有家小店😀"));
    ASSERT_TRUE(streamed.result.ok()) << streamed.result.description().toStdString();
    EXPECT_EQ(streamed.result.answer, QStringLiteral("回声：椰林深处有家小店😀"));
    EXPECT_EQ(streamed.fragments, (QStringList{QStringLiteral("回声："), QStringLiteral("椰林深"), QStringLiteral("处有家"),
                                               QStringLiteral("小店😀")}));
    EXPECT_EQ(QwenClient::run(QStringLiteral("系统"), QStringLiteral("你好")).answer, QStringLiteral("回声：你好"));
    EXPECT_EQ(QwenClient::explain(QStringLiteral("你好")).answer, QStringLiteral("回声：请解释下面这段内容：\n你好"));
    QwenClient::prewarm();

    const QList<QJsonObject> bodies = ollama->bodies();
    ASSERT_EQ(bodies.size(), 4);
    const auto options = [](double temperature) { return QJsonObject{{QStringLiteral("temperature"), temperature}}; };
    const auto role = [](const char* role, const QString& content) {
        return QJsonObject{{QStringLiteral("role"), QLatin1String(role)}, {QStringLiteral("content"), content}};
    };
    EXPECT_EQ(bodies[0], (QJsonObject{{QStringLiteral("model"), model},
                                      {QStringLiteral("messages"), QJsonArray{role("system", QStringLiteral("系统")),
                                                                              role("user", QStringLiteral("椰林深处有家小店😀"))}},
                                      {QStringLiteral("stream"), true}, {QStringLiteral("options"), options(0.7)},
                                      {QStringLiteral("keep_alive"), QStringLiteral("30m")}}));
    EXPECT_EQ(bodies[1], (QJsonObject{{QStringLiteral("model"), model},
                                      {QStringLiteral("messages"), QJsonArray{role("system", QStringLiteral("系统")), role("user", QStringLiteral("你好"))}},
                                      {QStringLiteral("stream"), false}, {QStringLiteral("options"), options(0.7)}}))
        << "one-shot calls send no keep_alive";
    EXPECT_EQ(bodies[2].value(QStringLiteral("options")), options(0.4));
    EXPECT_TRUE(messagesOf(bodies[2]).first().content.startsWith(QStringLiteral("你是简洁的中文解释助手。")));
    EXPECT_EQ(bodies[3], (QJsonObject{{QStringLiteral("model"), model}, {QStringLiteral("messages"), QJsonArray{role("user", QStringLiteral("hi"))}},
                                      {QStringLiteral("stream"), false}, {QStringLiteral("options"), options(0)},
                                      {QStringLiteral("keep_alive"), QStringLiteral("30m")}}))
        << "prewarm keeps the model loaded";
}

TEST_F(QwenClientTest, EngineRefusalsBecomeTypedErrors)
{
    struct Case {
        const char* text;
        Kind kind;
        int status;
        const char* body;
    };
    const Case cases[] = {
        {"[[fail:404]]", Kind::modelNotReady, 0, ""},
        {"[[fail:500:model \"qwen2.5\" not found, try pulling it first]]", Kind::modelNotReady, 0, ""},
        {"[[fail:500:Model Not Found]]", Kind::modelNotReady, 0, ""},
        {"[[fail:500]]", Kind::httpError, 500, "{\"error\":\"llama runner process has terminated: exit status 2\"}"},
        {"[[fail:503]]", Kind::httpError, 503, "{\"error\":\"server busy, please try again.  maximum pending requests exceeded\"}"},
        {"[[empty]]", Kind::emptyResponse, 0, ""},
    };
    for (const Case& c : cases) {
        for (const bool streamed : {true, false}) {
            const ChatResult result = streamed ? ask(QString::fromUtf8(c.text)).result : QwenClient::runChat({ChatMessage::user(QString::fromUtf8(c.text))});
            const QwenError* error = result.error<QwenError>();
            ASSERT_TRUE(error) << c.text << " streamed=" << streamed;
            EXPECT_EQ(error->kind, c.kind) << c.text;
            EXPECT_EQ(error->status, c.status) << c.text;
            // A streamed body is read line by line, each line ending in a line feed.
            if (c.kind == Kind::httpError) {
                EXPECT_EQ(error->text, QString::fromUtf8(c.body) + (streamed ? QStringLiteral("\n") : QString())) << c.text;
            }
            if (c.kind == Kind::modelNotReady) {
                EXPECT_EQ(error->description(), QStringLiteral("本地 Qwen 模型「qwen2.5:7b」还没就绪（可能仍在下载）。下载完成后即可使用。"));
            }
        }
    }

    ASSERT_TRUE(Http::fetch(Http::Request::json("DELETE", ollama->baseUrl() + QStringLiteral("/api/delete"), {{QStringLiteral("model"), model}})).ok());
    const ChatResult missing = ask(QStringLiteral("hi")).result;
    ASSERT_TRUE(missing.error<QwenError>());
    EXPECT_EQ(missing.error<QwenError>()->kind, Kind::modelNotReady) << "the real 404 of a model that is not installed";
}

TEST_F(QwenClientTest, AFailureMidStreamKeepsTheFragmentsAlreadyShown)
{
    const Streamed errored = ask(QStringLiteral("一二三四五六七八九[[midstream]]"));
    EXPECT_EQ(errored.fragments, (QStringList{QStringLiteral("回声："), QStringLiteral("一二三")}));
    const QwenError* error = errored.result.error<QwenError>();
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, QwenError::httpError(200, QStringLiteral("an error was encountered while running the model")));
    EXPECT_EQ(error->description(), QStringLiteral("本地模型返回错误（HTTP 200）：an error was encountered while running the model"));

    const Streamed dropped = ask(QStringLiteral("一二三四五六七八九[[drop]]"));
    EXPECT_EQ(dropped.fragments.size(), 2);
    ASSERT_TRUE(dropped.result.error<TransportError>()) << "a broken open stream passes its transport error on";
    EXPECT_EQ(dropped.result.error<TransportError>()->code, TransportError::Code::networkConnectionLost);

    const ChatResult droppedOneShot = QwenClient::runChat({ChatMessage::user(QStringLiteral("你好[[drop]]"))});
    ASSERT_TRUE(droppedOneShot.error<QwenError>());
    EXPECT_EQ(droppedOneShot.error<QwenError>()->kind, Kind::ollamaNotRunning);
}

TEST_F(QwenClientTest, AStallTimesOutAndCancellationIsPromptAndSilent)
{
    qputenv("SELVANE_HTTP_IDLE_TIMEOUT_MS", "500");
    const Streamed stalled = ask(QStringLiteral("一二三四五六七八九[[stall]]"));
    qunsetenv("SELVANE_HTTP_IDLE_TIMEOUT_MS");
    EXPECT_EQ(stalled.fragments.size(), 2);
    ASSERT_TRUE(stalled.result.error<TransportError>());
    EXPECT_EQ(stalled.result.error<TransportError>()->code, TransportError::Code::timedOut);

    StopAfterFirstFragment stopper;
    QStringList fragments;
    const auto started = std::chrono::steady_clock::now();
    const ChatResult cancelled = QwenClient::runChatStream({ChatMessage::user(QStringLiteral("一二三四五六七八九[[stall]]"))},
                                                           stopper.handler(fragments), stopper.source.get_token());
    EXPECT_TRUE(cancelled.cancelled());
    EXPECT_TRUE(cancelled.description().isEmpty()) << "cancellation is silent";
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s) << "the 120 s wait for data must not run out first";
    EXPECT_EQ(fragments.size(), 2);
}

TEST_F(QwenClientTest, AThinkingBlockIsNeitherShownNorReturned)
{
    const Streamed streamed = ask(QStringLiteral("你好[[think]]"));
    EXPECT_EQ(streamed.result.answer, QStringLiteral("回声：你好"));
    EXPECT_EQ(streamed.fragments.join(QString()), QStringLiteral("回声：你好"));
    EXPECT_FALSE(streamed.fragments.join(QString()).contains(QLatin1String("think")));
    EXPECT_EQ(QwenClient::runChat({ChatMessage::user(QStringLiteral("你好[[think]]"))}).answer, QStringLiteral("回声：你好"));
}

TEST(QwenClientWithoutEngineTest, NoEngineMeansNotRunningAndCancellingTheWaitIsSilent)
{
    ScratchHome home;
    useOwnOllama();
    std::stop_source source;
    std::jthread canceller([&source] {
        std::this_thread::sleep_for(300ms);
        source.request_stop();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(QwenClient::runChat({ChatMessage::user(QStringLiteral("hi"))}, source.get_token()).cancelled());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);

    const ChatResult result = ask(QStringLiteral("hi")).result; // waits the engine's 12 s start time
    ASSERT_TRUE(result.error<QwenError>());
    EXPECT_EQ(result.error<QwenError>()->kind, Kind::ollamaNotRunning);
}

// Answers the engine does not normally give, served byte for byte.
TEST(QwenClientAnswersTest, UnusualBodiesAreReadStrictly)
{
    ScratchHome home;
    useOwnOllama();
    QByteArray body;
    int status = 200;
    LocalHttpServer local;
    local.server.Get("/api/version", [](const httplib::Request&, httplib::Response& res) { res.set_content("{\"version\":\"0.12.3\"}", "application/json"); });
    local.server.Post("/api/chat", [&](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        res.set_content(body.toStdString(), "application/json");
    });
    ASSERT_TRUE(local.start(11434));

    struct Case {
        int status;
        QByteArray body;
        QwenError expected;
    };
    const Case cases[] = {
        {200, R"({"error":"model 'qwen2.5:7b' not found"})", QwenError::modelNotReady(model)},
        {200, R"({"error":"out of memory"})", QwenError::httpError(200, QStringLiteral("out of memory"))},
        {200, R"({"message":{"role":"assistant"}})", QwenError::emptyResponse()},
        {500, "\xff\xfe not utf-8", QwenError::httpError(500, QString())},
    };
    for (const Case& c : cases) {
        status = c.status;
        body = c.body;
        const ChatResult result = QwenClient::runChat({ChatMessage::user(QStringLiteral("hi"))});
        ASSERT_TRUE(result.error<QwenError>()) << c.body.constData();
        EXPECT_EQ(*result.error<QwenError>(), c.expected) << c.body.constData();
    }
    for (const QByteArray& undecodable : {QByteArray("{\"message\":\"text\"}"), QByteArray("[1,2]"), QByteArray("{truncated")}) {
        status = 200;
        body = undecodable;
        const ChatResult result = QwenClient::runChat({ChatMessage::user(QStringLiteral("hi"))});
        const QwenError* error = result.error<QwenError>();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind, Kind::decodingFailed) << undecodable.constData();
        EXPECT_FALSE(error->text.isEmpty());
    }
}

}
