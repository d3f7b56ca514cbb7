// Both chat clients, one suite for what they share, against fake_ollama on 11434, fake_openai and
// servers inside the test for bodies the fakes never send. NETNS.
#include <gtest/gtest.h>

#include <mutex>

#include "engines/chat/CloudClient.h"
#include "engines/http/Http.h"
#include "engines/ollama/QwenClient.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/Printers.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

const QString localModel = QStringLiteral("qwen2.5:7b"); // the default local model
const QString apiKey = QStringLiteral("sk-quillo-test-7f3a9c");
using Code = TransportError::Code;

struct Client {
    const char* name;
    bool local;
    ChatResult (*stream)(const ChatMessages&, const DeltaHandler&, std::stop_token);
    ChatResult (*oneShot)(const ChatMessages&, std::stop_token);
    ChatResult (*run)(const QString&, const QString&, std::stop_token);
};
const Client qwen = {"Qwen", true, &QwenClient::runChatStream, &QwenClient::runChat, &QwenClient::run};
const Client cloud = {"Cloud", false, &CloudClient::runChatStream, &CloudClient::runChat, &CloudClient::run};

struct Streamed {
    ChatResult result;
    QStringList fragments;
};

// A streamed call of `text` after a system message; `stopAt` requests a stop from inside the
// handler once that many fragments arrived, so the client then waits for more with a stopped token.
Streamed ask(const Client& client, const QString& text, qsizetype stopAt = 0)
{
    Streamed streamed;
    std::stop_source stop;
    streamed.result = client.stream(
        {ChatMessage::system(QStringLiteral("系统")), ChatMessage::user(text)},
        [&](const QString& fragment) {
            streamed.fragments.append(fragment);
            if (streamed.fragments.size() == stopAt)
                stop.request_stop();
        },
        stop.get_token());
    return streamed;
}

ChatResult once(const Client& client, const QString& text)
{
    return client.oneShot({ChatMessage::user(text)}, {});
}

// How a call ended, in words both clients share (their errors name their common cases alike).
template <class Error>
QString words(const Error& error)
{
    using Kind = typename Error::Kind;
    return error.kind == Kind::httpError ? QStringLiteral("refused %1%2")
                                               .arg(error.status)
                                               .arg(error.text.contains(QLatin1String("busy now")) ? ": busy now" : "")
        : error.kind == Kind::emptyResponse  ? QStringLiteral("empty")
        : error.kind == Kind::answerCutOff   ? QStringLiteral("cut off")
        : error.kind == Kind::decodingFailed ? QStringLiteral("undecodable")
                                             : error.description();
}

QString outcome(const ChatResult& result)
{
    using Kind = QwenError::Kind;
    if (result.ok() || result.cancelled())
        return result.ok()                   ? result.answer
            : result.description().isEmpty() ? QStringLiteral("cancelled")
                                             : QStringLiteral("cancelled aloud");
    if (const auto* transport = result.error<TransportError>())
        return transport->code == Code::networkConnectionLost ? QStringLiteral("connection lost")
            : transport->code == Code::timedOut               ? QStringLiteral("timed out")
            : transport->code == Code::notConnectedToInternet ? QStringLiteral("offline")
                                                              : transport->description();
    if (const auto* local = result.error<QwenError>())
        return local->kind == Kind::modelNotReady   ? QStringLiteral("model not ready")
            : local->kind == Kind::ollamaNotRunning ? QStringLiteral("not running")
            : local->kind == Kind::notAnswering     ? QStringLiteral("not answering")
                                                    : words(*local);
    return words(*result.error<CloudError>());
}

// A scratch home; serve() starts one client's fake and points the settings at it.
class ServedClient : public ::testing::Test {
protected:
    ScratchHome home;
    std::unique_ptr<FakeOllamaServer> ollama;
    std::unique_ptr<FakeOpenAIServer> provider;

    bool serve(const Client& client)
    {
        if (client.local)
            return (ollama = ownOllamaWith(localModel)) != nullptr;
        provider = std::make_unique<FakeOpenAIServer>(18080, apiKey);
        useCustomCloud(QStringLiteral("  ") + provider->endpoint() + QStringLiteral("\n"), apiKey);
        return provider->isAnswering();
    }
    QList<QJsonObject> bodies() const { return ollama ? ollama->bodies() : provider->bodies(); }
};

using QwenWireTest = ServedClient;
using CloudWireTest = ServedClient;
class ChatClientTest : public ServedClient, public ::testing::WithParamInterface<Client> {
protected:
    const Client& client = GetParam();
};
INSTANTIATE_TEST_SUITE_P(Clients, ChatClientTest, ::testing::Values(qwen, cloud),
                         [](const auto& info) { return info.param.name; });

TEST_P(ChatClientTest, StreamsTheAnswerAndSendsTheMessagesInOrder)
{
    ASSERT_TRUE(serve(client));
    const QString text = QStringLiteral("椰林深处有家小店😀");
    const Streamed streamed = ask(client, text);
    EXPECT_EQ(streamed.result.answer, QStringLiteral("回声：") + text) << streamed.result.description().toStdString();
    EXPECT_EQ(streamed.fragments, QStringLiteral("回声：|椰林深|处有家|小店😀").split(QLatin1Char('|')));
    EXPECT_EQ(client.run(QStringLiteral("规则"), QStringLiteral("你好"), {}).answer, QStringLiteral("回声：你好"));

    const QList<QJsonObject> sent = bodies();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(messagesOf(sent[0]),
              (ChatMessages{ChatMessage::system(QStringLiteral("系统")), ChatMessage::user(text)}));
    EXPECT_EQ(messagesOf(sent[1]),
              (ChatMessages{ChatMessage::system(QStringLiteral("规则")), ChatMessage::user(QStringLiteral("你好"))}));
}

TEST_P(ChatClientTest, EveryWayAnAnswerEnds)
{
    ASSERT_TRUE(serve(client));
    // Asked, fragments wanted before a stop request, shown, streamed outcome, one-shot outcome (not
    // asked when empty); "local|cloud" where the clients differ. Half an answer is shown before a
    // failure in the stream; a stopped stream stops at the second fragment, while the engine is silent.
    const QString half = QStringLiteral("一二三四五六七八九");
    const std::tuple<QString, qsizetype, const char*, const char*, const char*> cases[] = {
        {QStringLiteral("你好[[think]]"), 0, "回声：你好", "回声：你好", "回声：你好"},
        {QStringLiteral("你好[[reasoning]]"), 0, "回声：你好", "回声：你好", "回声：你好"},
        {QStringLiteral("[[empty]]"), 0, "", "empty", "empty"},
        {QStringLiteral("[[fail:503:busy now]]"), 0, "", "refused 503: busy now", "refused 503: busy now"},
        {QStringLiteral("[[fail:404]]"), 0, "", "model not ready|refused 404", "model not ready|refused 404"},
        {QStringLiteral("[[fail:500:model is missing, try pulling it first]]"), 0, "", "model not ready|refused 500",
         "model not ready|refused 500"},
        {QStringLiteral("[[fail:500:Model Not Found]]"), 0, "", "model not ready|refused 500",
         "model not ready|refused 500"},
        {half + QStringLiteral("[[midstream]]"), 0, "回声：一二三", "refused 200", "refused 500"},
        {half + QStringLiteral("[[drop]]"), 0, "回声：一二三", "cut off|connection lost", "cut off|connection lost"},
        {half + QStringLiteral("[[unfinished]]"), 0, "回声：一二三", "cut off", "回声：一二三四五六七八九"},
        {half + QStringLiteral("[[stall]]"), 0, "回声：一二三", "timed out", "not answering|timed out"},
        {half + QStringLiteral("[[stall:60]]"), 2, "回声：一二三", "cancelled", ""},
    };
    const int side = client.local ? 0 : -1;
    const auto pick = [side](const char* both) {
        return QString::fromUtf8(both).section(QLatin1Char('|'), side, side);
    };
    const ScopedEnv idle("SELVANE_HTTP_IDLE_TIMEOUT_MS", "2000"); // short, yet long enough for a busy machine's head
    for (const auto& [text, stopAt, shown, streamedOutcome, oneShotOutcome] : cases) {
        SCOPED_TRACE(text.toStdString());
        const Streamed streamed = ask(client, text, stopAt);
        EXPECT_EQ(outcome(streamed.result), pick(streamedOutcome));
        EXPECT_EQ(streamed.fragments.join(QString()).trimmed(), QString::fromUtf8(shown));
        EXPECT_TRUE(!*oneShotOutcome || outcome(once(client, text)) == pick(oneShotOutcome))
            << outcome(once(client, text)).toStdString();
    }
}

TEST_P(ChatClientTest, KeepAlivesDoNotExtendTheAnswersDeadline)
{
    ASSERT_TRUE(serve(client));
    changeSettings([](AppSettings& settings) { settings.answerDeadlineSeconds = 1; });
    // Keep-alives every 200 ms for a minute: only the deadline, not the wait for data, ends it.
    const Streamed streamed = ask(client, QStringLiteral("一二三四五六七八九[[keepalive:60]]"));
    const TransportError* timedOut = streamed.result.error<TransportError>();
    ASSERT_TRUE(timedOut && timedOut->code == Code::timedOut) << outcome(streamed.result).toStdString();
    EXPECT_EQ(timedOut->detail, QStringLiteral("not finished within 1000 ms"));
    EXPECT_EQ(streamed.fragments.join(QString()), QStringLiteral("回声：一二三")) << "what came before stays shown";
}

// A server on both protocols' chat path whose answer the test sets between requests; status 0
// takes the request and never answers.
struct ScriptedEngine {
    ScriptedEngine()
    {
        local.server.Get("/api/version", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("{}", "application/json");
        });
        local.server.Post("/api/chat", [this](const httplib::Request&, httplib::Response& res) {
            std::unique_lock held(reply);
            if (status == 0) {
                held.unlock();
                local.holdUntilReleased();
                held.lock();
            }
            res.status = status;
            res.set_content(body.toStdString(), "application/json");
        });
    }
    void answerWith(int code, const QByteArray& text)
    {
        const std::lock_guard held(reply);
        std::tie(status, body) = std::pair(code, text);
    }

    std::mutex reply; // the server's thread reads what the test sets between requests
    int status = 200;
    QByteArray body;
    LocalHttpServer local;
};

// Answers the fakes never give, served byte for byte.
TEST_P(ChatClientTest, UnusualBodiesAreReadStrictly)
{
    ScriptedEngine engine;
    changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
    EXPECT_TRUE(!client.local || outcome(once(client, QStringLiteral("hi"))) == QStringLiteral("not running"))
        << "nothing answered for 12 s";
    ASSERT_TRUE(engine.local.start(11434));
    useCustomCloud(engine.local.url(QStringLiteral("/api/chat")), apiKey);

    const QByteArray noContent = R"({"message":{"role":"assistant"},"choices":[{"message":{"role":"assistant"}}]})";
    const std::tuple<bool, int, QByteArray, ChatResult> cases[] = {
        // for the local client?, status, body, result
        {true, 200, R"({"error":"model 'qwen2.5:7b' not found"})",
         ChatResult::failed(QwenError::modelNotReady(localModel))},
        {true, 200, R"({"error":"out of memory"})",
         ChatResult::failed(QwenError::httpError(200, QStringLiteral("out of memory")))},
        {true, 200, noContent, ChatResult::failed(QwenError::emptyResponse())},
        {true, 500, "\xff\xfe not utf-8", ChatResult::failed(QwenError::httpError(500, QString()))},
        {false, 200,
         readFile(QStringLiteral(QUILLO_TEST_FIXTURES
                                 "/wire/providers/deepseek/chat-nonstream-keepalive-blank-lines.200.txt")),
         ChatResult::success(QStringLiteral("Hello! How can I help you today?"))},
        {false, 200, noContent, ChatResult::failed(CloudError::emptyResponse())},
        {false, 200, R"({"choices":[]})", ChatResult::failed(CloudError::emptyResponse())},
        {false, 500, "\xff\xfe\xfd",
         ChatResult::failed(CloudError::httpError(500, QStringLiteral("<无法解码的响应体>")))},
    };
    for (const auto& [local, code, text, expected] : cases) {
        engine.answerWith(code, text);
        const ChatResult result = local == client.local ? once(client, QStringLiteral("hi")) : expected;
        EXPECT_TRUE(result.failure == expected.failure && result.answer == expected.answer)
            << text.constData() << ": " << result.description().toStdString();
        EXPECT_TRUE(client.local || code != 200 || CloudClient::smokeTest().ok())
            << "the connection test takes any answer";
    }
    for (const char* undecodable : {"[1,2]", "{truncated", R"({"message":"text","choices":[{"message":"text"}]})"}) {
        engine.answerWith(200, undecodable);
        EXPECT_EQ(outcome(once(client, QStringLiteral("hi"))), QStringLiteral("undecodable")) << undecodable;
    }
    engine.answerWith(401, QByteArray());
    EXPECT_TRUE(client.local
                || ask(client, QStringLiteral("hi")).result.failure
                    == ChatFailure(CloudError::httpError(401, QStringLiteral("<空响应体>"))));

    // A user's own Ollama that takes the request and never answers is not said to be stopped.
    engine.answerWith(0, QByteArray());
    const ScopedEnv idle("SELVANE_HTTP_IDLE_TIMEOUT_MS", "2000");
    const QString silent = client.local ? QStringLiteral("not answering") : QStringLiteral("timed out");
    EXPECT_EQ(outcome(ask(client, QStringLiteral("hi")).result), silent);
    EXPECT_EQ(outcome(once(client, QStringLiteral("hi"))), silent);
}

TEST_F(QwenWireTest, OptionsKeepAliveExplainAndPrewarm)
{
    ASSERT_TRUE(serve(qwen));
    ASSERT_TRUE(ask(qwen, QStringLiteral("你好")).result.ok());
    ASSERT_TRUE(once(qwen, QStringLiteral("你好")).ok());
    EXPECT_EQ(QwenClient::explain(QStringLiteral("你好")).answer, QStringLiteral("回声：请解释下面这段内容：\n你好"));
    QwenClient::prewarm();
    QStringList sent; // model, temperature, keep_alive, stream
    for (const QJsonObject& body : bodies())
        sent << QStringLiteral("%1 %2 %3 %4")
                    .arg(body.value(QStringLiteral("model")).toString())
                    .arg(body.value(QStringLiteral("options"))[QStringLiteral("temperature")].toDouble())
                    .arg(body.value(QStringLiteral("keep_alive")).toString(QStringLiteral("-")),
                         body.value(QStringLiteral("stream")).toBool() ? QStringLiteral("streamed")
                                                                       : QStringLiteral("once"));
    EXPECT_EQ(
        sent,
        QStringLiteral("qwen2.5:7b 0.7 30m streamed|qwen2.5:7b 0.7 - once|qwen2.5:7b 0.4 - once|qwen2.5:7b 0 30m once")
            .split(QLatin1Char('|')))
        << "one-shot calls keep nothing loaded, prewarm does";
}

TEST_F(CloudWireTest, TheKeyTravelsAsBearerAndIsNeverRepeated)
{
    ASSERT_TRUE(serve(cloud));
    ASSERT_TRUE(ask(cloud, QStringLiteral("hi")).result.ok()) << "the fake demands exactly this bearer";
    ASSERT_TRUE(CloudClient::smokeTest().ok());
    const QList<QJsonObject> sent = bodies();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0],
              (QJsonObject{{QStringLiteral("model"), QStringLiteral("fake-model")},
                           {QStringLiteral("messages"), sent[0].value(QStringLiteral("messages"))},
                           {QStringLiteral("temperature"), 0.7},
                           {QStringLiteral("max_tokens"), 4096},
                           {QStringLiteral("stream"), true}}));
    EXPECT_EQ(sent[1].value(QStringLiteral("max_tokens")), QJsonValue(1)) << "the connection test asks for one token";

    useCustomCloud(provider->endpoint(), QStringLiteral("sk-wrong\n-key"));
    const ChatResult refused = CloudClient::smokeTest();
    EXPECT_EQ(outcome(refused).left(11), QStringLiteral("refused 401"));
    EXPECT_FALSE(refused.description().contains(QLatin1String("wrong"))) << "the key is never repeated";
}

TEST(CloudSettingsTest, ConfigurationProblemsSurfaceBeforeAnyTrafficAndWithoutANetworkTheTransportErrorPassesThrough)
{
    ScratchHome home;
    useCustomCloud(QStringLiteral(" \n"), apiKey);
    EXPECT_EQ(ask(cloud, QStringLiteral("hi")).result.failure, ChatFailure(CloudError::missingBaseURL()));
    useCustomCloud(QStringLiteral("not a url"), apiKey);
    EXPECT_EQ(once(cloud, QStringLiteral("hi")).failure, ChatFailure(CloudError::invalidEndpoint()));
    useCustomCloud(QStringLiteral("https://llm.example.com/v1/chat/completions"), QStringLiteral("key"),
                   QStringLiteral("  "));
    EXPECT_EQ(std::get<CloudClient::Target>(CloudClient::resolve()).model, QStringLiteral("doubao-seed-2-0-pro-260215"))
        << "the last fallback";

    changeSettings([](AppSettings& settings) {
        settings.activeProvider = QStringLiteral("deepseek");
        settings.cloudKeys = {{QStringLiteral("deepseek"), QStringLiteral("   ")},
                              {QStringLiteral("openai"), QStringLiteral("sk-other")}};
    });
    EXPECT_EQ(once(cloud, QStringLiteral("hi")).failure, ChatFailure(CloudError::missingApiKey(SettingsStore::path())));

    changeSettings([](AppSettings& settings) { settings.cloudKeys = {{QStringLiteral("deepseek"), apiKey}}; });
    const ChatResult offline = ask(cloud, QStringLiteral("hi")).result; // only loopback exists here
    EXPECT_EQ(outcome(offline), QStringLiteral("offline"));
    EXPECT_FALSE(offline.description().contains(apiKey));
}

}
