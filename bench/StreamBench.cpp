// What Quillo adds to a streamed answer, measured against the same stream read by plain
// libcurl from a server inside this process:
//   BM_ParseAndDispatch*      per line: classify, filter, accumulate, hand to onDelta
//   BM_*StreamOf500Fragments  a whole stream of 500 fragments (the difference / 500 is the
//                             cost per fragment including the transport layer)
//   BM_*FirstFragment         from the server writing the first byte to the first onDelta
//                             (plain: to the first write callback)
// Run by hand: build/bin/bench_stream
#include <atomic>

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <QTemporaryDir>

#include "engines/chat/ChatStream.h"
#include "engines/chat/CloudClient.h"
#include "engines/ollama/QwenClient.h"
#include "settings/SettingsStore.h"
#include "tests/support/LocalHttpServer.h"

namespace {

using Clock = std::chrono::steady_clock;

const QByteArray sseLine =
    R"(data: {"id":"chatcmpl-1","object":"chat.completion.chunk","created":1694268190,"model":"m","choices":[{"index":0,"delta":{"content":"今天天"},"finish_reason":null}]})";
const QByteArray ollamaLine =
    R"({"model":"qwen2.5:7b","created_at":"2025-07-07T20:22:19.184789Z","message":{"role":"assistant","content":"今天天"},"done":false})";
constexpr int fragmentCount = 500;

void parseAndDispatch(benchmark::State& state, StreamLineParser parse, const QByteArray& line)
{
    qsizetype delivered = 0;
    ChatStreamReader reader(parse, [&delivered](const QString& fragment) { delivered += fragment.size(); });
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.consume(line));
    benchmark::DoNotOptimize(delivered);
}

void BM_ParseAndDispatchSSELine(benchmark::State& state)
{
    parseAndDispatch(state, &CloudClient::parseSSELine, sseLine);
}
void BM_ParseAndDispatchOllamaLine(benchmark::State& state)
{
    parseAndDispatch(state, &QwenClient::parseOllamaStreamLine, ollamaLine);
}
BENCHMARK(BM_ParseAndDispatchSSELine);
BENCHMARK(BM_ParseAndDispatchOllamaLine);

// A server streaming server-sent events; remembers when it wrote the first byte of the last stream.
class StreamServer {
public:
    StreamServer()
    {
        m_local.server.Post("/v1/chat/completions",
                            [this](const httplib::Request& request, httplib::Response& response) {
                                const bool paced = request.body.find("\"pace\"") != std::string::npos;
                                response.set_chunked_content_provider(
                                    "text/event-stream", [this, paced](size_t, httplib::DataSink& sink) {
                                        const std::string event = sseLine.toStdString() + "\n\n";
                                        firstByte = Clock::now().time_since_epoch().count();
                                        for (int i = 0; i < fragmentCount; ++i) {
                                            sink.write(event.data(), event.size());
                                            if (paced && i == 0)
                                                std::this_thread::sleep_for(
                                                    std::chrono::milliseconds(2)); // the first fragment travels alone
                                        }
                                        sink.write("data: [DONE]\n\n", 14);
                                        sink.done();
                                        return true;
                                    });
                            });
        m_local.start();
        qputenv("HOME", QFile::encodeName(m_home.path()));
        SettingsStore::resetCache();
        AppSettings settings;
        settings.activeProvider = QStringLiteral("custom");
        settings.customBaseURL = url();
        settings.cloudKeys = {{QStringLiteral("custom"), QStringLiteral("bench-key")}};
        SettingsStore::save(settings);
    }

    QString url() const { return m_local.url(QStringLiteral("/v1/chat/completions")); }
    std::atomic<Clock::rep> firstByte = 0;

private:
    QTemporaryDir m_home;
    LocalHttpServer m_local;
};

StreamServer& server()
{
    static StreamServer instance;
    return instance;
}

// Reads the stream with libcurl alone; returns when its first byte arrived.
Clock::time_point plainCurlStream(bool paced)
{
    struct Reading {
        Clock::time_point first;
        size_t bytes = 0;
    } reading;
    const QByteArray url = server().url().toUtf8();
    const QByteArray body = paced ? R"({"pace":true})" : R"({})";
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.constData());
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reading);
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION, +[](char*, size_t size, size_t count, void* context) {
            auto* reading = static_cast<Reading*>(context);
            if (reading->bytes == 0)
                reading->first = Clock::now();
            reading->bytes += size * count;
            return size * count;
        });
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    return reading.first;
}

// Reads the stream through the cloud client; returns when the first fragment reached onDelta.
Clock::time_point quilloStream(bool paced)
{
    Clock::time_point first;
    bool seen = false;
    const ChatMessages messages = {ChatMessage::user(paced ? QStringLiteral("pace") : QStringLiteral("hi"))};
    const ChatResult result = CloudClient::runChatStream(messages, [&](const QString&) {
        if (!seen)
            first = Clock::now();
        seen = true;
    });
    if (!result.ok())
        qFatal("the stream failed: %s", qPrintable(result.description()));
    return first;
}

template <Clock::time_point (*read)(bool)>
void wholeStream(benchmark::State& state)
{
    server();
    for (auto _ : state)
        benchmark::DoNotOptimize(read(false));
    state.counters["per_fragment"] = benchmark::Counter(double(state.iterations()) * fragmentCount,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <Clock::time_point (*read)(bool)>
void firstFragment(benchmark::State& state)
{
    server();
    for (auto _ : state) {
        const Clock::time_point first = read(true);
        const Clock::time_point written{Clock::duration(server().firstByte.load())};
        state.SetIterationTime(std::chrono::duration<double>(first - written).count());
    }
}

BENCHMARK(wholeStream<plainCurlStream>)->Name("BM_PlainCurlStreamOf500Fragments")->Unit(benchmark::kMillisecond);
BENCHMARK(wholeStream<quilloStream>)->Name("BM_QuilloStreamOf500Fragments")->Unit(benchmark::kMillisecond);
BENCHMARK(firstFragment<plainCurlStream>)
    ->Name("BM_PlainCurlFirstFragment")
    ->UseManualTime()
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(firstFragment<quilloStream>)
    ->Name("BM_QuilloFirstFragment")
    ->UseManualTime()
    ->Iterations(2000)
    ->Unit(benchmark::kMicrosecond);

}

BENCHMARK_MAIN();
