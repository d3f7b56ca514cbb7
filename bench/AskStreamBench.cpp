// The streaming road of one lookup against a chat-completions server inside this process, each
// beside plain libcurl reading the same stream:
//   FirstFragment/quillo_ask  the server writes the first fragment → `quillo --ask` has written it
//                             to its standard output (read from the pipe here)
//   FirstFragment/libcurl     the server writes the first fragment → libcurl hands it over
//   LongStream/session        20,000 fragments through the cloud client and the action session
//                             to the answered signal
//   LongStream/libcurl        the same stream read whole by libcurl
// Run by hand: build/bin/bench_ask_stream
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <curl/curl.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>

#include "engines/ollama/OllamaEngineControl.h"
#include "memory/KnowledgeStore.h"
#include "memory/SemanticRecall.h"
#include "platform/PlatformServices.h"
#include "popup/ActionEngine.h"
#include "popup/ActionSession.h"
#include "settings/SettingsStore.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/RunProgram.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr int longStreamFragments = 20000;
const std::string firstFragment = "FIRST-FRAGMENT";
const QString longStreamAsk = QStringLiteral("LONG");

std::string event(const std::string& content)
{
    return "data: "
           "{\"id\":\"b\",\"object\":\"chat.completion.chunk\",\"choices\":[{\"index\":0,\"delta\":{\"content\":\""
        + content + "\"},\"finish_reason\":null}]}\n\n";
}

const std::string opening = ": keep-alive\n\n" + event("");
const std::string closing = "data: "
                            "{\"id\":\"b\",\"object\":\"chat.completion.chunk\",\"choices\":[{\"index\":0,\"delta\":{},"
                            "\"finish_reason\":\"stop\"}]}\n\n"
                            "data: [DONE]\n\n";

// 20,000 fragments of three characters (nine bytes of UTF-8) each.
const std::string& longStreamEvents()
{
    static const std::string events = [] {
        std::string all;
        for (int i = 0; i < longStreamFragments; ++i)
            all += event("流式字");
        return all;
    }();
    return events;
}

// A provider that answers a short request with one fragment 20 ms after the head (noting when it
// wrote it), and "LONG" with the long stream.
class Provider {
public:
    Provider()
    {
        m_server.server.Post(
            "/v1/chat/completions", [this](const httplib::Request& request, httplib::Response& response) {
                const bool isLong = request.body.find(longStreamAsk.toStdString()) != std::string::npos;
                response.set_chunked_content_provider(
                    "text/event-stream", [this, isLong](size_t, httplib::DataSink& sink) {
                        sink.write(opening.data(), opening.size());
                        if (isLong) {
                            const std::string& events = longStreamEvents();
                            for (size_t at = 0; at < events.size(); at += 16384)
                                sink.write(events.data() + at, std::min<size_t>(16384, events.size() - at));
                        } else {
                            std::this_thread::sleep_for(20ms);
                            const std::string first = event(firstFragment);
                            m_firstWrittenAt = Clock::now();
                            sink.write(first.data(), first.size());
                        }
                        sink.write(closing.data(), closing.size());
                        sink.done();
                        return true;
                    });
            });
        m_server.start();
    }

    QString endpoint() const { return m_server.url(QStringLiteral("/v1/chat/completions")); }
    Clock::time_point firstWrittenAt() const { return m_firstWrittenAt; }

private:
    LocalHttpServer m_server;
    std::atomic<Clock::time_point> m_firstWrittenAt;
};

// A scratch home whose settings send every action to that provider as the custom cloud.
struct Fixture {
    QTemporaryDir home;
    Provider provider;

    Fixture()
    {
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("SELVANE_KNOWLEDGE_FILE", QFile::encodeName(home.filePath(QStringLiteral("knowledge.json"))));
        SettingsStore::resetCache();
        AppSettings settings;
        settings.activeProvider = QStringLiteral("custom");
        settings.customBaseURL = provider.endpoint();
        settings.cloudKeys = {{QStringLiteral("custom"), QStringLiteral("bench-key")}};
        settings.cloudModels = {{QStringLiteral("custom"), QStringLiteral("bench-model")}};
        settings.autoRemember = false;
        SettingsStore::save(settings);
    }
};

Fixture& fixture()
{
    static Fixture shared;
    return shared;
}

// Reads a stream with libcurl alone; `onData` sees every block as it arrives and may end the read.
struct CurlRead {
    std::function<bool(const char*, size_t)> onData;

    void post(const QString& text) const
    {
        CURL* curl = curl_easy_init();
        const std::string body = R"({"model":"bench-model","stream":true,"messages":[{"role":"user","content":")"
            + text.toStdString() + R"("}]})";
        const std::string url = fixture().provider.endpoint().toStdString();
        curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(
            curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t, size_t size, void* self) -> size_t {
                return static_cast<const CurlRead*>(self)->onData(data, size) ? size : 0;
            });
        curl_easy_perform(curl);
        curl_slist_free_all(headers);
        curl_easy_cleanup(curl);
    }
};

void BM_FirstFragment_quillo_ask(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        QProcess quillo;
        quillo.start(quilloBinary(),
                     {QStringLiteral("--ask"), QStringLiteral("rewrite"), QStringLiteral("--engine"),
                      QStringLiteral("cloud"), QStringLiteral("bench")});
        if (!quillo.waitForReadyRead(10000)) {
            state.SkipWithError("quillo --ask wrote nothing");
            break;
        }
        const Clock::time_point read = Clock::now();
        if (!quillo.readAllStandardOutput().startsWith(QByteArray::fromStdString(firstFragment))) {
            state.SkipWithError("the first output is not the first fragment");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(read - f.provider.firstWrittenAt()).count());
        quillo.waitForFinished();
    }
}

void BM_FirstFragment_libcurl(benchmark::State& state)
{
    Fixture& f = fixture();
    for (auto _ : state) {
        Clock::time_point arrived{};
        CurlRead read{[&arrived](const char* data, size_t size) {
            if (arrived == Clock::time_point{}
                && std::string_view(data, size).find(firstFragment) != std::string_view::npos)
                arrived = Clock::now();
            return true;
        }};
        read.post(QStringLiteral("bench"));
        state.SetIterationTime(std::chrono::duration<double>(arrived - f.provider.firstWrittenAt()).count());
    }
}

void BM_LongStream_session(benchmark::State& state)
{
    fixture();
    QTemporaryDir dir;
    SemanticRecall noModels(std::make_shared<NoSentenceEmbedder>());
    KnowledgeStore store(dir.filePath(QStringLiteral("knowledge.json")), noModels);
    TaskPool tasks;
    ActionSession session(std::make_shared<ClientEngine>(std::make_shared<OllamaEngineControl>()), store, tasks,
                          *Platform::services().workspace);
    const PopupAction action{QStringLiteral("改写"), QStringLiteral("改写"), QStringLiteral("system"), longStreamAsk,
                             false};
    qsizetype characters = 0;
    for (auto _ : state) {
        session.open(longStreamAsk, {action}, nullptr, std::nullopt, SourceKind::selection);
        QEventLoop loop;
        QObject::connect(&session, &ActionSession::answered, &loop, &QEventLoop::quit);
        QObject::connect(&session, &ActionSession::runFailed, &loop, &QEventLoop::quit);
        session.runAction(0);
        loop.exec();
        characters = session.streamBuffer().size();
    }
    if (characters != longStreamFragments * 3)
        state.SkipWithError("the stream did not arrive whole");
    state.counters["fragments/s"] =
        benchmark::Counter(double(longStreamFragments), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_LongStream_libcurl(benchmark::State& state)
{
    fixture();
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        CurlRead read{[&bytes](const char*, size_t size) {
            bytes += size;
            return true;
        }};
        read.post(longStreamAsk);
    }
    if (bytes < longStreamEvents().size())
        state.SkipWithError("the stream did not arrive whole");
    state.counters["fragments/s"] =
        benchmark::Counter(double(longStreamFragments), benchmark::Counter::kIsIterationInvariantRate);
}

}

BENCHMARK(BM_FirstFragment_quillo_ask)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(30);
BENCHMARK(BM_FirstFragment_libcurl)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(30);
BENCHMARK(BM_LongStream_session)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongStream_libcurl)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv); // the session hands its fragments over through the event loop
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
