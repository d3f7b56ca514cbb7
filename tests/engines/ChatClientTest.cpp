// Both chat clients, one suite for what they share, against fake_ollama on 11434 and fake_openai
// (and a server inside the test for bodies the fakes never send), in a private network namespace.
#include <gtest/gtest.h>

#include <QJsonDocument>

#include "engines/CloudClient.h"
#include "engines/QwenClient.h"
#include "engines/http/Http.h"
#include "popup/ActionEngine.h"
#include "settings/SettingsStore.h"
#include "tests/support/FakeEngineControl.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/OwnOllama.h"
#include "tests/support/Printers.h"
#include "tests/support/ScratchHome.h"

namespace {

const QString localModel = QStringLiteral("qwen2.5:7b"); // the default local model
const QString apiKey = QStringLiteral("sk-quillo-test-7f3a9c");

struct Client {
    const char* name;
    bool local;
    ChatResult (*stream)(const ChatMessages&, const DeltaHandler&, std::stop_token);
    ChatResult (*oneShot)(const ChatMessages&, std::stop_token);
    ChatResult (*run)(const QString&, const QString&, std::stop_token);
};
void PrintTo(const Client& client, std::ostream* os) { *os << client.name; }

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
    streamed.result = client.stream({ChatMessage::system(QStringLiteral("系统")), ChatMessage::user(text)}, [&](const QString& fragment) {
        streamed.fragments.append(fragment);
        if (streamed.fragments.size() == stopAt)
            stop.request_stop();
    }, stop.get_token());
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
    const QString kept = error.text.contains(QLatin1String("busy now")) ? QStringLiteral(": busy now") : QString();
    return error.kind == Kind::httpError        ? QStringLiteral("refused %1").arg(error.status) + kept
         : error.kind == Kind::emptyResponse    ? QStringLiteral("empty")
         : error.kind == Kind::decodingFailed   ? QStringLiteral("undecodable")
                                                : error.description();
}

QString outcome(const ChatResult& result)
{
    using Code = TransportError::Code;
    using Kind = QwenError::Kind;
    if (result.ok() || result.cancelled())
        return result.ok() ? result.answer : result.description().isEmpty() ? QStringLiteral("cancelled") : QStringLiteral("cancelled aloud");
    if (const auto* transport = result.error<TransportError>())
        return transport->code == Code::networkConnectionLost ? QStringLiteral("connection lost")
             : transport->code == Code::timedOut              ? QStringLiteral("timed out")
             : transport->code == Code::notConnectedToInternet ? QStringLiteral("offline")
                                                               : transport->description();
    if (const auto* local = result.error<QwenError>())
        return local->kind == Kind::modelNotReady ? QStringLiteral("model not ready") : local->kind == Kind::ollamaNotRunning ? QStringLiteral("not running") : words(*local);
    return words(*result.error<CloudError>());
}

// The engine of one client, served by its fake; the settings point at it.
class ServedClient {
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

class ChatClientTest : public ServedClient, public ::testing::TestWithParam<Client> {
protected:
    const Client& client = GetParam();
    void SetUp() override { ASSERT_TRUE(serve(client)); }
};
INSTANTIATE_TEST_SUITE_P(Clients, ChatClientTest, ::testing::Values(qwen, cloud), [](const auto& info) { return info.param.name; });

TEST_P(ChatClientTest, StreamsTheAnswerAndSendsTheMessagesInOrder)
{
    const Streamed streamed = ask(client, QStringLiteral("椰林深处有家小店😀"));
    EXPECT_EQ(streamed.result.answer, QStringLiteral("回声：椰林深处有家小店😀")) << streamed.result.description().toStdString();
    EXPECT_EQ(streamed.fragments, QStringLiteral("回声：|椰林深|处有家|小店😀").split(QLatin1Char('|')));
    EXPECT_EQ(client.run(QStringLiteral("规则"), QStringLiteral("你好"), {}).answer, QStringLiteral("回声：你好"));

    const QList<QJsonObject> sent = bodies();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(messagesOf(sent[0]), (ChatMessages{ChatMessage::system(QStringLiteral("系统")), ChatMessage::user(QStringLiteral("椰林深处有家小店😀"))}));
    EXPECT_EQ(messagesOf(sent[1]), (ChatMessages{ChatMessage::system(QStringLiteral("规则")), ChatMessage::user(QStringLiteral("你好"))}));
}

TEST_P(ChatClientTest, EveryWayAnAnswerEnds)
{
    // "local|cloud" where the clients differ. Half of an answer is shown before a failure in the
    // stream; a cancelled stream stops at the second fragment, while the engine is silent.
    const QString half = QStringLiteral("一二三四五六七八九");
    const struct {
        QString text;
        qsizetype stopAt;
        const char* shown;
        const char* streamed;
        const char* oneShot; // empty: not asked
    } cases[] = {
        {QStringLiteral("你好[[think]]"), 0, "回声：你好", "回声：你好", "回声：你好"},
        {QStringLiteral("你好[[reasoning]]"), 0, "回声：你好", "回声：你好", "回声：你好"},
        {QStringLiteral("[[empty]]"), 0, "", "empty", "empty"},
        {QStringLiteral("[[fail:503:busy now]]"), 0, "", "refused 503: busy now", "refused 503: busy now"},
        {QStringLiteral("[[fail:404]]"), 0, "", "model not ready|refused 404", "model not ready|refused 404"},
        {QStringLiteral("[[fail:500:model \"x\" not found, try pulling it first]]"), 0, "", "model not ready|refused 500", "model not ready|refused 500"},
        {QStringLiteral("[[fail:500:Model Not Found]]"), 0, "", "model not ready|refused 500", "model not ready|refused 500"},
        {half + QStringLiteral("[[midstream]]"), 0, "回声：一二三", "refused 200", "refused 500"},
        {half + QStringLiteral("[[drop]]"), 0, "回声：一二三", "connection lost", "not running|connection lost"},
        {half + QStringLiteral("[[stall]]"), 0, "回声：一二三", "timed out", "not running|timed out"},
        {half + QStringLiteral("[[stall:60]]"), 2, "回声：一二三", "cancelled", ""},
    };
    const int side = client.local ? 0 : -1;
    const auto pick = [side](const char* both) { return QString::fromUtf8(both).section(QLatin1Char('|'), side, side); };
    qputenv("SELVANE_HTTP_IDLE_TIMEOUT_MS", "500");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const Streamed streamed = ask(client, c.text, c.stopAt);
        EXPECT_EQ(outcome(streamed.result), pick(c.streamed));
        EXPECT_EQ(streamed.fragments.join(QString()).trimmed(), QString::fromUtf8(c.shown));
        EXPECT_TRUE(!*c.oneShot || outcome(once(client, c.text)) == pick(c.oneShot)) << outcome(once(client, c.text)).toStdString();
    }
    qunsetenv("SELVANE_HTTP_IDLE_TIMEOUT_MS");
}

// Answers the fakes never give, served byte for byte.
class ChatClientAnswersTest : public ::testing::TestWithParam<Client> {
protected:
    ScratchHome home;
};
INSTANTIATE_TEST_SUITE_P(Clients, ChatClientAnswersTest, ::testing::Values(qwen, cloud), [](const auto& info) { return info.param.name; });

TEST_P(ChatClientAnswersTest, UnusualBodiesAreReadStrictly)
{
    const Client& client = GetParam();
    int status = 200;
    QByteArray body;
    LocalHttpServer local;
    local.server.Get("/api/version", [](const httplib::Request&, httplib::Response& res) { res.set_content("{}", "application/json"); });
    local.server.Post("/api/chat", [&](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        res.set_content(body.toStdString(), "application/json");
    });
    ASSERT_TRUE(local.start(11434));
    changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
    useCustomCloud(local.url(QStringLiteral("/api/chat")), apiKey);

    const QByteArray noContent = R"({"message":{"role":"assistant"},"choices":[{"message":{"role":"assistant"}}]})";
    const struct {
        bool local;
        int status;
        QByteArray body;
        ChatResult expected;
    } cases[] = {
        {true, 200, R"({"error":"model 'qwen2.5:7b' not found"})", ChatResult::failed(QwenError::modelNotReady(localModel))},
        {true, 200, R"({"error":"out of memory"})", ChatResult::failed(QwenError::httpError(200, QStringLiteral("out of memory")))},
        {true, 200, noContent, ChatResult::failed(QwenError::emptyResponse())},
        {true, 500, "\xff\xfe not utf-8", ChatResult::failed(QwenError::httpError(500, QString()))},
        {false, 200, readFile(QStringLiteral(QUILLO_TEST_FIXTURES "/wire/providers/deepseek/chat-nonstream-keepalive-blank-lines.200.txt")),
         ChatResult::success(QStringLiteral("Hello! How can I help you today?"))},
        {false, 200, noContent, ChatResult::failed(CloudError::emptyResponse())},
        {false, 200, R"({"choices":[]})", ChatResult::failed(CloudError::emptyResponse())},
        {false, 500, "\xff\xfe\xfd", ChatResult::failed(CloudError::httpError(500, QStringLiteral("<无法解码的响应体>")))},
    };
    for (const auto& c : cases) {
        if (c.local != client.local)
            continue;
        std::tie(status, body) = std::pair(c.status, c.body);
        const ChatResult result = once(client, QStringLiteral("hi"));
        EXPECT_EQ(result.failure, c.expected.failure) << c.body.constData() << ": " << result.description().toStdString();
        EXPECT_EQ(result.answer, c.expected.answer);
        EXPECT_TRUE(client.local || c.status != 200 || CloudClient::smokeTest().ok()) << "the connection test takes any answer";
    }
    status = 200;
    for (const char* undecodable : {"[1,2]", "{truncated", R"({"message":"text","choices":[{"message":"text"}]})"}) {
        body = undecodable;
        EXPECT_EQ(outcome(once(client, QStringLiteral("hi"))), QStringLiteral("undecodable")) << undecodable;
    }
    std::tie(status, body) = std::pair(401, QByteArray());
    EXPECT_TRUE(client.local || ask(client, QStringLiteral("hi")).result.failure == ChatFailure(CloudError::httpError(401, QStringLiteral("<空响应体>"))));
}

class QwenWireTest : public ServedClient, public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(serve(qwen)); }
};

TEST_F(QwenWireTest, OptionsKeepAliveExplainPrewarmAndTheRealMissingModel)
{
    ASSERT_TRUE(ask(qwen, QStringLiteral("你好")).result.ok());
    ASSERT_TRUE(once(qwen, QStringLiteral("你好")).ok());
    EXPECT_EQ(QwenClient::explain(QStringLiteral("你好")).answer, QStringLiteral("回声：请解释下面这段内容：\n你好"));
    QwenClient::prewarm();
    QStringList sent; // model, temperature, keep_alive, stream
    for (const QJsonObject& body : bodies())
        sent << QStringLiteral("%1 %2 %3 %4").arg(body.value(QStringLiteral("model")).toString()).arg(body.value(QStringLiteral("options"))[QStringLiteral("temperature")].toDouble())
                    .arg(body.value(QStringLiteral("keep_alive")).toString(QStringLiteral("-")), body.value(QStringLiteral("stream")).toBool() ? QStringLiteral("streamed") : QStringLiteral("once"));
    EXPECT_EQ(sent, QStringLiteral("qwen2.5:7b 0.7 30m streamed|qwen2.5:7b 0.7 - once|qwen2.5:7b 0.4 - once|qwen2.5:7b 0 30m once").split(QLatin1Char('|')))
        << "one-shot calls keep nothing loaded, prewarm does";
    EXPECT_TRUE(messagesOf(bodies()[2]).first().content.startsWith(QStringLiteral("你是简洁的中文解释助手。")));

    ASSERT_TRUE(Http::fetch(Http::Request::json("DELETE", ollama->baseUrl() + QStringLiteral("/api/delete"), {{QStringLiteral("model"), localModel}})).ok());
    EXPECT_EQ(*ask(qwen, QStringLiteral("hi")).result.error<QwenError>(), QwenError::modelNotReady(localModel));
}

TEST(QwenWithoutEngineTest, WaitingForAnEngineThatNeverAnswersEndsNotRunningOrCancelled)
{
    ScratchHome home;
    changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
    // The user's `ollama` only leaves a mark that it was started, and never serves.
    const QString started = home.path() + QStringLiteral("/started");
    writeExecutable(home.path() + QStringLiteral("/.local/bin/ollama"), "#!/bin/sh\ntouch '" + started.toUtf8() + "'\n");
    std::stop_source stop;
    std::jthread canceller([&] {
        while (!QFile::exists(started)) // then the client is polling for the engine
            std::this_thread::yield();
        stop.request_stop();
    });
    EXPECT_TRUE(QwenClient::runChat({ChatMessage::user(QStringLiteral("hi"))}, stop.get_token()).cancelled());
    EXPECT_EQ(outcome(once(qwen, QStringLiteral("hi"))), QStringLiteral("not running")); // after the engine's 12 s start time
}

class CloudWireTest : public ServedClient, public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(serve(cloud)); }
};

TEST_F(CloudWireTest, TheKeyTravelsAsBearerAndIsNeverRepeated)
{
    ASSERT_TRUE(ask(cloud, QStringLiteral("hi")).result.ok()) << "the fake demands exactly this bearer";
    ASSERT_TRUE(CloudClient::smokeTest().ok());
    const QList<QJsonObject> sent = bodies();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0], (QJsonObject{{QStringLiteral("model"), QStringLiteral("fake-model")}, {QStringLiteral("messages"), sent[0].value(QStringLiteral("messages"))},
                                    {QStringLiteral("temperature"), 0.7}, {QStringLiteral("max_tokens"), 4096}, {QStringLiteral("stream"), true}}));
    EXPECT_EQ(sent[1].value(QStringLiteral("max_tokens")), QJsonValue(1)) << "the connection test asks for one token";

    useCustomCloud(provider->endpoint(), QStringLiteral("sk-wrong\n-key"));
    const ChatResult refused = CloudClient::smokeTest();
    EXPECT_EQ(outcome(refused).left(11), QStringLiteral("refused 401"));
    EXPECT_FALSE(refused.description().contains(QLatin1String("wrong")));
    for (const QJsonObject& request : provider->recorded())
        EXPECT_FALSE(QJsonDocument(request).toJson().contains("sk-")) << "the record holds no key";
}

TEST_F(CloudWireTest, TheProfileChatFollowsTheReadinessTheEnginesReport)
{
    auto engines = std::make_shared<FakeEngineControl>();
    engines->change([](FakeEngineControl::Script& script) { script.readiness = AIReadiness::cloudOnly; });
    ClientEngine engine(engines);
    const ProfileEngine::OneShotChat chat = engine.profileChat({});
    ASSERT_TRUE(chat);
    EXPECT_EQ(chat({ChatMessage::user(QStringLiteral("画像"))}, {}), QStringLiteral("回声：画像"));
    engines->change([](FakeEngineControl::Script& script) { script.readiness = AIReadiness::neitherConfigured; });
    EXPECT_FALSE(engine.profileChat({}));
    EXPECT_EQ(engines->calls(), (QStringList{QStringLiteral("readiness"), QStringLiteral("readiness")}));
}

TEST(CloudSettingsTest, ConfigurationProblemsSurfaceBeforeAnyTrafficAndWithoutANetworkTheTransportErrorPassesThrough)
{
    ScratchHome home;
    useCustomCloud(QStringLiteral(" \n"), apiKey);
    EXPECT_EQ(ask(cloud, QStringLiteral("hi")).result.failure, ChatFailure(CloudError::missingBaseURL()));
    useCustomCloud(QStringLiteral("not a url"), apiKey);
    EXPECT_EQ(once(cloud, QStringLiteral("hi")).failure, ChatFailure(CloudError::invalidEndpoint()));
    useCustomCloud(QStringLiteral("https://llm.example.com/v1/chat/completions"), QStringLiteral("key"), QStringLiteral("  "));
    EXPECT_EQ(std::get<CloudClient::Target>(CloudClient::resolve()).model, QStringLiteral("doubao-seed-2-0-pro-260215"));

    changeSettings([](AppSettings& settings) {
        settings.activeProvider = QStringLiteral("deepseek");
        settings.cloudKeys = {{QStringLiteral("deepseek"), QStringLiteral("   ")}, {QStringLiteral("openai"), QStringLiteral("sk-other")}};
    });
    EXPECT_EQ(once(cloud, QStringLiteral("hi")).failure, ChatFailure(CloudError::missingApiKey(SettingsStore::path())));

    changeSettings([](AppSettings& settings) { settings.cloudKeys = {{QStringLiteral("deepseek"), apiKey}}; });
    const ChatResult offline = ask(cloud, QStringLiteral("hi")).result; // only loopback exists here
    EXPECT_EQ(outcome(offline), QStringLiteral("offline"));
    EXPECT_FALSE(offline.description().contains(apiKey));
}

}
