// The cloud client against fake_openai (and, for exact bodies, a server inside the test) on
// loopback, in a private network namespace.
#include <gtest/gtest.h>

#include <QJsonDocument>

#include "engines/CloudClient.h"
#include "settings/SettingsStore.h"
#include "tests/engines/EngineTestSupport.h"
#include "tests/support/FakeServers.h"
#include "tests/support/Files.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/ScratchHome.h"

using namespace std::chrono_literals;
using Kind = CloudError::Kind;

namespace {

const QString apiKey = QStringLiteral("sk-quillo-test-7f3a9c");

Streamed ask(const QString& text, std::stop_token stop = {})
{
    return collectStream([&](const DeltaHandler& onDelta) {
        return CloudClient::runChatStream({ChatMessage::system(QStringLiteral("系统")), ChatMessage::user(text)}, onDelta, stop);
    });
}

class CloudClientTest : public ::testing::Test {
protected:
    ScratchHome home;
    FakeOpenAIServer cloud{18080, apiKey};

    void SetUp() override
    {
        ASSERT_TRUE(cloud.isAnswering());
        useCustomCloud(QStringLiteral("  ") + cloud.endpoint() + QStringLiteral("\n"), apiKey);
    }
};

TEST_F(CloudClientTest, StreamsTheAnswerAndSendsExactlyTheDocumentedRequest)
{
    const Streamed streamed = ask(QStringLiteral("今天天气不错🌤"));
    ASSERT_TRUE(streamed.result.ok()) << streamed.result.description().toStdString();
    EXPECT_EQ(streamed.result.answer, QStringLiteral("回声：今天天气不错🌤"));
    EXPECT_EQ(streamed.fragments, (QStringList{QStringLiteral("回声："), QStringLiteral("今天天"), QStringLiteral("气不错"), QStringLiteral("🌤")}));

    EXPECT_EQ(CloudClient::run(QStringLiteral("系统"), QStringLiteral("你好")).answer, QStringLiteral("回声：你好"));

    const QList<QJsonObject> bodies = cloud.bodies();
    ASSERT_EQ(bodies.size(), 2);
    EXPECT_EQ(bodies[0], (QJsonObject{{QStringLiteral("model"), QStringLiteral("fake-model")},
                                      {QStringLiteral("messages"), bodies[0].value(QStringLiteral("messages"))},
                                      {QStringLiteral("temperature"), 0.7}, {QStringLiteral("max_tokens"), 4096}, {QStringLiteral("stream"), true}}));
    EXPECT_EQ(messagesOf(bodies[0]), (ChatMessages{ChatMessage::system(QStringLiteral("系统")), ChatMessage::user(QStringLiteral("今天天气不错🌤"))}));
    EXPECT_EQ(bodies[1].value(QStringLiteral("stream")), QJsonValue(false));
}

TEST_F(CloudClientTest, ProviderRefusalsKeepStatusAndBody)
{
    const struct {
        const char* marker;
        int status;
        const char* bodyPart;
    } cases[] = {
        {"[[fail:401]]", 401, "Incorrect API key provided"},
        {"[[fail:402]]", 402, "\"message\":\"Insufficient Balance\""},
        {"[[fail:429]]", 429, "rate_limit_exceeded"},
        {"[[fail:500]]", 500, "server_error"},
    };
    for (const auto& c : cases) {
        for (const bool streamed : {true, false}) {
            const ChatResult result = streamed ? ask(QString::fromUtf8(c.marker)).result : CloudClient::runChat({ChatMessage::user(QString::fromUtf8(c.marker))});
            const CloudError* error = result.error<CloudError>();
            ASSERT_TRUE(error) << c.marker;
            EXPECT_EQ(error->kind, Kind::httpError) << c.marker;
            EXPECT_EQ(error->status, c.status) << c.marker;
            EXPECT_TRUE(error->text.contains(QString::fromUtf8(c.bodyPart))) << error->text.toStdString();
            EXPECT_TRUE(error->description().startsWith(QStringLiteral("云端接口返回错误（HTTP %1）：").arg(c.status)));
        }
    }
}

TEST_F(CloudClientTest, TheKeyTravelsAsBearerAndIsNeverRepeated)
{
    ASSERT_TRUE(ask(QStringLiteral("hi")).result.ok()) << "the fake demands exactly this bearer";
    ASSERT_TRUE(CloudClient::smokeTest().ok());

    useCustomCloud(cloud.endpoint(), QStringLiteral("sk-wrong\n-key"));
    const ChatResult refused = CloudClient::smokeTest();
    ASSERT_TRUE(refused.error<CloudError>());
    EXPECT_EQ(refused.error<CloudError>()->status, 401);
    EXPECT_FALSE(refused.description().contains(QLatin1String("wrong")));
    for (const QJsonObject& request : cloud.recorded())
        EXPECT_FALSE(QJsonDocument(request).toJson().contains("sk-")) << "the record holds no key";
}

TEST_F(CloudClientTest, FailuresMidStreamKeepTheFragmentsAlreadyShown)
{
    const Streamed errored = ask(QStringLiteral("一二三四五六七八九[[midstream]]"));
    EXPECT_EQ(errored.fragments, (QStringList{QStringLiteral("回声："), QStringLiteral("一二三")}));
    ASSERT_TRUE(errored.result.error<CloudError>());
    EXPECT_EQ(*errored.result.error<CloudError>(),
              CloudError::httpError(200, QStringLiteral("The server had an error while processing your request. Sorry about that!")));

    const Streamed dropped = ask(QStringLiteral("一二三四五六七八九[[drop]]"));
    EXPECT_EQ(dropped.fragments.size(), 2);
    ASSERT_TRUE(dropped.result.error<TransportError>());
    EXPECT_EQ(dropped.result.error<TransportError>()->code, TransportError::Code::networkConnectionLost);

    qputenv("SELVANE_HTTP_IDLE_TIMEOUT_MS", "500");
    const Streamed stalled = ask(QStringLiteral("一二三四五六七八九[[stall]]"));
    const ChatResult stalledOneShot = CloudClient::runChat({ChatMessage::user(QStringLiteral("hi[[stall]]"))});
    qunsetenv("SELVANE_HTTP_IDLE_TIMEOUT_MS");
    EXPECT_EQ(stalled.fragments.size(), 2);
    ASSERT_TRUE(stalled.result.error<TransportError>());
    EXPECT_EQ(stalled.result.error<TransportError>()->code, TransportError::Code::timedOut);
    ASSERT_TRUE(stalledOneShot.error<TransportError>());
    EXPECT_EQ(stalledOneShot.error<TransportError>()->code, TransportError::Code::timedOut);

    StopAfterFirstFragment stopper;
    QStringList fragments;
    const auto started = std::chrono::steady_clock::now();
    const ChatResult cancelled = CloudClient::runChatStream({ChatMessage::user(QStringLiteral("一二三四五六七八九[[stall]]"))},
                                                            stopper.handler(fragments), stopper.source.get_token());
    EXPECT_TRUE(cancelled.cancelled());
    EXPECT_TRUE(cancelled.description().isEmpty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

TEST_F(CloudClientTest, ReasoningAndThinkingAreNotPartOfTheAnswer)
{
    for (const char* marker : {"[[reasoning]]", "[[think]]"}) {
        const Streamed streamed = ask(QStringLiteral("你好") + QString::fromLatin1(marker));
        EXPECT_EQ(streamed.result.answer, QStringLiteral("回声：你好")) << marker;
        EXPECT_EQ(streamed.fragments.join(QString()), QStringLiteral("回声：你好")) << marker;
        EXPECT_EQ(CloudClient::runChat({ChatMessage::user(QStringLiteral("你好") + QString::fromLatin1(marker))}).answer, QStringLiteral("回声：你好"));
    }
    const ChatResult blank = ask(QStringLiteral("[[empty]]")).result;
    ASSERT_TRUE(blank.error<CloudError>());
    EXPECT_EQ(blank.error<CloudError>()->kind, Kind::emptyResponse);
}

// Answers fake_openai does not give, served byte for byte.
TEST(CloudClientAnswersTest, UnusualBodies)
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
    auto oneShot = [] { return CloudClient::runChat({ChatMessage::user(QStringLiteral("hi"))}); };

    body = readFile(QStringLiteral(QUILLO_TEST_FIXTURES "/wire/providers/deepseek/chat-nonstream-keepalive-blank-lines.200.txt"));
    EXPECT_EQ(oneShot().answer, QStringLiteral("Hello! How can I help you today?")) << "blank keep-alive lines before the JSON";

    for (const QByteArray& noContent : {QByteArray(R"({"choices":[{"message":{"role":"assistant"}}]})"), QByteArray(R"({"choices":[]})")}) {
        body = noContent;
        EXPECT_EQ(oneShot().error<CloudError>()->kind, Kind::emptyResponse) << noContent.constData();
        EXPECT_TRUE(CloudClient::smokeTest().ok()) << "the connection test accepts an empty answer";
    }
    body = R"({"choices":[{"message":"not an object"}]})";
    EXPECT_EQ(oneShot().error<CloudError>()->kind, Kind::decodingFailed);
    EXPECT_TRUE(CloudClient::smokeTest().ok());

    status = 500;
    body = "\xff\xfe\xfd";
    EXPECT_EQ(*oneShot().error<CloudError>(), CloudError::httpError(500, QStringLiteral("<无法解码的响应体>")));
    status = 401;
    body.clear();
    EXPECT_EQ(*ask(QStringLiteral("hi")).result.error<CloudError>(), CloudError::httpError(401, QStringLiteral("<空响应体>")));
}

TEST(CloudResolveTest, ConfigurationProblemsSurfaceBeforeAnyTraffic)
{
    ScratchHome home;
    useCustomCloud(QStringLiteral(" \n"), apiKey);
    EXPECT_EQ(*ask(QStringLiteral("hi")).result.error<CloudError>(), CloudError::missingBaseURL());

    useCustomCloud(QStringLiteral("not a url"), apiKey);
    EXPECT_EQ(*CloudClient::runChat({ChatMessage::user(QStringLiteral("hi"))}).error<CloudError>(), CloudError::invalidEndpoint());

    useCustomCloud(QStringLiteral("https://llm.example.com/v1/chat/completions"), QStringLiteral("key"), QStringLiteral("  "));
    const auto target = CloudClient::resolve();
    ASSERT_TRUE(std::holds_alternative<CloudClient::Target>(target));
    EXPECT_EQ(std::get<CloudClient::Target>(target).model, QStringLiteral("doubao-seed-2-0-pro-260215"));

    changeSettings([](AppSettings& settings) {
        settings.activeProvider = QStringLiteral("deepseek");
        settings.cloudKeys = {{QStringLiteral("deepseek"), QStringLiteral("   ")}, {QStringLiteral("openai"), QStringLiteral("sk-other")}};
    });
    const ChatResult missingKey = CloudClient::runChat({ChatMessage::user(QStringLiteral("hi"))});
    ASSERT_TRUE(missingKey.error<CloudError>());
    EXPECT_EQ(*missingKey.error<CloudError>(), CloudError::missingApiKey(SettingsStore::path()));
    EXPECT_TRUE(missingKey.description().contains(SettingsStore::path()));
}

TEST(CloudNetworkTest, WithoutANetworkTheTransportErrorPassesThrough)
{
    ScratchHome home;
    changeSettings([](AppSettings& settings) {
        settings.activeProvider = QStringLiteral("deepseek");
        settings.cloudKeys = {{QStringLiteral("deepseek"), apiKey}};
    });
    const ChatResult result = ask(QStringLiteral("hi")).result;
    ASSERT_TRUE(result.error<TransportError>()) << result.description().toStdString();
    EXPECT_EQ(result.error<TransportError>()->code, TransportError::Code::notConnectedToInternet)
        << "only loopback exists in the test's network namespace";
    EXPECT_FALSE(result.description().contains(apiKey));
}

}
