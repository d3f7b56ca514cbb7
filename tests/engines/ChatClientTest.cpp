// Both chat clients against their fake servers (fake_ollama on 11434 for the local engine,
// fake_openai for the cloud) and, for bodies the fakes never send, a server inside the test; in
// a private network namespace. The shared behaviour is one suite run against both clients.
#include <gtest/gtest.h>

#include <QJsonArray>
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

inline void PrintTo(const QwenError& error, std::ostream* os) { *os << error.description().toStdString(); }
inline void PrintTo(const CloudError& error, std::ostream* os) { *os << error.description().toStdString(); }

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
    streamed.result = client.stream({ChatMessage::system(QStringLiteral("系统")), ChatMessage::user(text)},
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

// The client's own "the server refused" error, whichever client: {status, body}.
std::optional<std::pair<int, QString>> refusal(const ChatResult& result)
{
    if (const auto* error = result.error<QwenError>(); error && error->kind == QwenError::Kind::httpError)
        return std::pair(error->status, error->text);
    if (const auto* error = result.error<CloudError>(); error && error->kind == CloudError::Kind::httpError)
        return std::pair(error->status, error->text);
    return std::nullopt;
}

bool isEmptyAnswer(const ChatResult& result)
{
    return result.error<QwenError>() ? *result.error<QwenError>() == QwenError::emptyResponse()
                                     : result.error<CloudError>() && *result.error<CloudError>() == CloudError::emptyResponse();
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

INSTANTIATE_TEST_SUITE_P(Clients, ChatClientTest, ::testing::Values(qwen, cloud),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(ChatClientTest, StreamsTheAnswerAndSendsTheMessagesInOrder)
{
    const Streamed streamed = ask(client, QStringLiteral("椰林深处有家小店😀"));
    ASSERT_TRUE(streamed.result.ok()) << streamed.result.description().toStdString();
    EXPECT_EQ(streamed.result.answer, QStringLiteral("回声：椰林深处有家小店😀"));
    EXPECT_EQ(streamed.fragments, (QStringList{QStringLiteral("回声："), QStringLiteral("椰林深"), QStringLiteral("处有家"),
                                               QStringLiteral("小店😀")}));
    EXPECT_EQ(client.run(QStringLiteral("规则"), QStringLiteral("你好"), {}).answer, QStringLiteral("回声：你好"));

    const QList<QJsonObject> sent = bodies();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(messagesOf(sent[0]), (ChatMessages{ChatMessage::system(QStringLiteral("系统")), ChatMessage::user(QStringLiteral("椰林深处有家小店😀"))}));
    EXPECT_EQ(messagesOf(sent[1]), (ChatMessages{ChatMessage::system(QStringLiteral("规则")), ChatMessage::user(QStringLiteral("你好"))}));
    EXPECT_EQ(sent[0].value(QStringLiteral("stream")), QJsonValue(true));
    EXPECT_EQ(sent[1].value(QStringLiteral("stream")), QJsonValue(false));
}

TEST_P(ChatClientTest, RefusalsKeepTheirStatusAndBody)
{
    for (const int status : {429, 503}) {
        const QString marker = QStringLiteral("[[fail:%1:busy now]]").arg(status);
        for (const ChatResult& result : {ask(client, marker).result, once(client, marker)}) {
            const auto refused = refusal(result);
            ASSERT_TRUE(refused) << result.description().toStdString();
            EXPECT_EQ(refused->first, status);
            EXPECT_TRUE(refused->second.contains(QLatin1String("busy now"))) << refused->second.toStdString();
        }
    }
}

TEST_P(ChatClientTest, FailuresMidStreamKeepTheFragmentsAlreadyShown)
{
    const QString half = QStringLiteral("一二三四五六七八九");
    const QStringList shown = {QStringLiteral("回声："), QStringLiteral("一二三")};

    const Streamed errored = ask(client, half + QStringLiteral("[[midstream]]"));
    EXPECT_EQ(errored.fragments, shown);
    ASSERT_TRUE(refusal(errored.result));
    EXPECT_EQ(refusal(errored.result)->first, 200);
    EXPECT_FALSE(refusal(errored.result)->second.isEmpty());

    const Streamed dropped = ask(client, half + QStringLiteral("[[drop]]"));
    EXPECT_EQ(dropped.fragments, shown);
    ASSERT_TRUE(dropped.result.error<TransportError>()) << "a broken open stream passes its transport error on";
    EXPECT_EQ(dropped.result.error<TransportError>()->code, TransportError::Code::networkConnectionLost);
    // Before an answer's head the local engine was simply not there.
    const ChatResult droppedOnce = once(client, QStringLiteral("你好[[drop]]"));
    EXPECT_TRUE(client.local ? droppedOnce.error<QwenError>() && droppedOnce.error<QwenError>()->kind == QwenError::Kind::ollamaNotRunning
                             : droppedOnce.error<TransportError>() != nullptr) << droppedOnce.description().toStdString();

    qputenv("SELVANE_HTTP_IDLE_TIMEOUT_MS", "500");
    const Streamed stalled = ask(client, half + QStringLiteral("[[stall]]"));
    qunsetenv("SELVANE_HTTP_IDLE_TIMEOUT_MS");
    EXPECT_EQ(stalled.fragments, shown);
    ASSERT_TRUE(stalled.result.error<TransportError>());
    EXPECT_EQ(stalled.result.error<TransportError>()->code, TransportError::Code::timedOut);

    const Streamed cancelled = ask(client, half + QStringLiteral("[[stall:60]]"), 2);
    EXPECT_TRUE(cancelled.result.cancelled());
    EXPECT_TRUE(cancelled.result.description().isEmpty()) << "cancellation is silent";
    EXPECT_EQ(cancelled.fragments, shown);
}

TEST_P(ChatClientTest, ThinkingAndEmptyAnswers)
{
    for (const char* marker : {"[[think]]", "[[reasoning]]"}) {
        const Streamed streamed = ask(client, QStringLiteral("你好") + QLatin1String(marker));
        EXPECT_EQ(streamed.result.answer, QStringLiteral("回声：你好")) << marker;
        EXPECT_EQ(streamed.fragments.join(QString()), QStringLiteral("回声：你好")) << marker << ": nothing of it is shown";
        EXPECT_EQ(once(client, QStringLiteral("你好") + QLatin1String(marker)).answer, QStringLiteral("回声：你好")) << marker;
    }
    EXPECT_TRUE(isEmptyAnswer(ask(client, QStringLiteral("[[empty]]")).result));
    EXPECT_TRUE(isEmptyAnswer(once(client, QStringLiteral("[[empty]]"))));
}

class QwenWireTest : public ServedClient, public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(serve(qwen)); }
};

TEST_F(QwenWireTest, OptionsKeepAliveExplainAndPrewarm)
{
    ASSERT_TRUE(ask(qwen, QStringLiteral("你好")).result.ok());
    ASSERT_TRUE(once(qwen, QStringLiteral("你好")).ok());
    EXPECT_EQ(QwenClient::explain(QStringLiteral("你好")).answer, QStringLiteral("回声：请解释下面这段内容：\n你好"));
    QwenClient::prewarm();

    const QList<QJsonObject> sent = bodies();
    ASSERT_EQ(sent.size(), 4);
    const auto options = [](double temperature) { return QJsonObject{{QStringLiteral("temperature"), temperature}}; };
    const QJsonValue keepAlive(QStringLiteral("30m"));
    EXPECT_EQ(sent[0].value(QStringLiteral("model")), localModel);
    EXPECT_EQ(sent[0].value(QStringLiteral("options")), options(0.7));
    EXPECT_EQ(sent[0].value(QStringLiteral("keep_alive")), keepAlive);
    EXPECT_EQ(sent[1].value(QStringLiteral("options")), options(0.7));
    EXPECT_FALSE(sent[1].contains(QStringLiteral("keep_alive"))) << "one-shot calls send no keep_alive";
    EXPECT_EQ(sent[2].value(QStringLiteral("options")), options(0.4));
    EXPECT_TRUE(messagesOf(sent[2]).first().content.startsWith(QStringLiteral("你是简洁的中文解释助手。")));
    EXPECT_EQ(sent[3], (QJsonObject{{QStringLiteral("model"), localModel},
                                    {QStringLiteral("messages"), QJsonArray{QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                                                                                        {QStringLiteral("content"), QStringLiteral("hi")}}}},
                                    {QStringLiteral("stream"), false}, {QStringLiteral("options"), options(0)},
                                    {QStringLiteral("keep_alive"), keepAlive}}))
        << "prewarm keeps the model loaded";
}

TEST_F(QwenWireTest, AMissingModelInAnyWordingIsNotReady)
{
    const QString message = QStringLiteral("本地 Qwen 模型「qwen2.5:7b」还没就绪（可能仍在下载）。下载完成后即可使用。");
    for (const char* marker : {"[[fail:404]]", "[[fail:500:model \"qwen2.5\" not found, try pulling it first]]", "[[fail:500:Model Not Found]]"}) {
        for (const ChatResult& result : {ask(qwen, QLatin1String(marker)).result, once(qwen, QLatin1String(marker))})
            EXPECT_EQ(result.description(), message) << marker;
    }
    ASSERT_TRUE(Http::fetch(Http::Request::json("DELETE", ollama->baseUrl() + QStringLiteral("/api/delete"), {{QStringLiteral("model"), localModel}})).ok());
    EXPECT_EQ(ask(qwen, QStringLiteral("hi")).result.description(), message) << "the real 404 of a model that is not installed";
}

// Answers fake_ollama does not give, served byte for byte.
TEST(QwenAnswersTest, UnusualBodiesAreReadStrictly)
{
    ScratchHome home;
    changeSettings([](AppSettings& settings) { settings.useExternalOllama = true; });
    QByteArray body;
    int status = 200;
    LocalHttpServer local;
    local.server.Get("/api/version", [](const httplib::Request&, httplib::Response& res) { res.set_content("{}", "application/json"); });
    local.server.Post("/api/chat", [&](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        res.set_content(body.toStdString(), "application/json");
    });
    ASSERT_TRUE(local.start(11434));

    const std::tuple<int, QByteArray, QwenError> cases[] = {
        {200, R"({"error":"model 'qwen2.5:7b' not found"})", QwenError::modelNotReady(localModel)},
        {200, R"({"error":"out of memory"})", QwenError::httpError(200, QStringLiteral("out of memory"))},
        {200, R"({"message":{"role":"assistant"}})", QwenError::emptyResponse()},
        {500, "\xff\xfe not utf-8", QwenError::httpError(500, QString())},
    };
    for (const auto& [code, text, expected] : cases) {
        std::tie(status, body) = std::pair(code, text);
        const ChatResult result = once(qwen, QStringLiteral("hi"));
        ASSERT_TRUE(result.error<QwenError>()) << text.constData();
        EXPECT_EQ(*result.error<QwenError>(), expected) << text.constData();
    }
    status = 200;
    for (const QByteArray& undecodable : {QByteArray("{\"message\":\"text\"}"), QByteArray("[1,2]"), QByteArray("{truncated")}) {
        body = undecodable;
        const QwenError* error = once(qwen, QStringLiteral("hi")).error<QwenError>();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind, QwenError::Kind::decodingFailed) << undecodable.constData();
        EXPECT_FALSE(error->text.isEmpty());
    }
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

    const ChatResult result = once(qwen, QStringLiteral("hi")); // waits the engine's 12 s start time
    ASSERT_TRUE(result.error<QwenError>());
    EXPECT_EQ(result.error<QwenError>()->kind, QwenError::Kind::ollamaNotRunning);
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
    EXPECT_EQ(refusal(refused).value_or(std::pair(0, QString())).first, 401);
    EXPECT_FALSE(refused.description().contains(QLatin1String("wrong")));
    for (const QJsonObject& request : provider->recorded())
        EXPECT_FALSE(QJsonDocument(request).toJson().contains("sk-")) << "the record holds no key";
}

// Answers fake_openai does not give, served byte for byte.
TEST(CloudAnswersTest, UnusualBodies)
{
    ScratchHome home;
    int status = 200;
    QByteArray body;
    LocalHttpServer local;
    local.server.Post("/chat", [&](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        res.set_content(body.toStdString(), "application/json");
    });
    ASSERT_TRUE(local.start());
    useCustomCloud(local.url(QStringLiteral("/chat")), apiKey);

    body = readFile(QStringLiteral(QUILLO_TEST_FIXTURES "/wire/providers/deepseek/chat-nonstream-keepalive-blank-lines.200.txt"));
    EXPECT_EQ(once(cloud, QStringLiteral("hi")).answer, QStringLiteral("Hello! How can I help you today?")) << "blank keep-alive lines first";
    for (const QByteArray& noContent : {QByteArray(R"({"choices":[{"message":{"role":"assistant"}}]})"), QByteArray(R"({"choices":[]})")}) {
        body = noContent;
        EXPECT_TRUE(isEmptyAnswer(once(cloud, QStringLiteral("hi")))) << noContent.constData();
        EXPECT_TRUE(CloudClient::smokeTest().ok()) << "the connection test accepts an empty answer";
    }
    body = R"({"choices":[{"message":"not an object"}]})";
    EXPECT_EQ(once(cloud, QStringLiteral("hi")).error<CloudError>()->kind, CloudError::Kind::decodingFailed);
    EXPECT_TRUE(CloudClient::smokeTest().ok());

    std::tie(status, body) = std::pair(500, QByteArray("\xff\xfe\xfd"));
    EXPECT_EQ(*once(cloud, QStringLiteral("hi")).error<CloudError>(), CloudError::httpError(500, QStringLiteral("<无法解码的响应体>")));
    std::tie(status, body) = std::pair(401, QByteArray());
    EXPECT_EQ(*ask(cloud, QStringLiteral("hi")).result.error<CloudError>(), CloudError::httpError(401, QStringLiteral("<空响应体>")));
}

TEST(CloudSettingsTest, ConfigurationProblemsSurfaceBeforeAnyTrafficAndWithoutANetworkTheTransportErrorPassesThrough)
{
    ScratchHome home;
    useCustomCloud(QStringLiteral(" \n"), apiKey);
    EXPECT_EQ(*ask(cloud, QStringLiteral("hi")).result.error<CloudError>(), CloudError::missingBaseURL());
    useCustomCloud(QStringLiteral("not a url"), apiKey);
    EXPECT_EQ(*once(cloud, QStringLiteral("hi")).error<CloudError>(), CloudError::invalidEndpoint());
    useCustomCloud(QStringLiteral("https://llm.example.com/v1/chat/completions"), QStringLiteral("key"), QStringLiteral("  "));
    const auto target = CloudClient::resolve();
    ASSERT_TRUE(std::holds_alternative<CloudClient::Target>(target));
    EXPECT_EQ(std::get<CloudClient::Target>(target).model, QStringLiteral("doubao-seed-2-0-pro-260215"));

    changeSettings([](AppSettings& settings) {
        settings.activeProvider = QStringLiteral("deepseek");
        settings.cloudKeys = {{QStringLiteral("deepseek"), QStringLiteral("   ")}, {QStringLiteral("openai"), QStringLiteral("sk-other")}};
    });
    const ChatResult missingKey = once(cloud, QStringLiteral("hi"));
    EXPECT_EQ(*missingKey.error<CloudError>(), CloudError::missingApiKey(SettingsStore::path()));
    EXPECT_TRUE(missingKey.description().contains(SettingsStore::path()));

    changeSettings([](AppSettings& settings) { settings.cloudKeys = {{QStringLiteral("deepseek"), apiKey}}; });
    const ChatResult offline = ask(cloud, QStringLiteral("hi")).result;
    ASSERT_TRUE(offline.error<TransportError>()) << offline.description().toStdString();
    EXPECT_EQ(offline.error<TransportError>()->code, TransportError::Code::notConnectedToInternet) << "only loopback exists here";
    EXPECT_FALSE(offline.description().contains(apiKey));
}

TEST(ClientEngineTest, TheProfileChatFollowsTheReadinessTheEnginesReport)
{
    ScratchHome home;
    FakeOpenAIServer provider(18080, apiKey);
    ASSERT_TRUE(provider.isAnswering());
    useCustomCloud(provider.endpoint(), apiKey);
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

}
