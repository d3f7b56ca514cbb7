// How long a blocking engine call takes to return once its stop token fires (the aim is well
// under 100 ms), each while the call is waiting on something that would otherwise hold it:
//   StopLatency/http_stream     a stream whose server has gone silent (idle timeout 60 s)
//   StopLatency/ollama_list     `ollama list` hanging (it would be killed after 15 s)
//   StopLatency/engine_wait     waiting for the user's Ollama, whose command never serves (12 s)
// The user's `ollama` is a script in a scratch home; nothing listens on 11434 for the last two.
// Run by hand: build/bin/bench_cancel
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

#include <QFile>
#include <QTemporaryDir>

#include "engines/http/Http.h"
#include "engines/ollama/OllamaService.h"
#include "settings/SettingsStore.h"
#include "tests/support/Files.h"
#include "tests/support/LocalHttpServer.h"

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// The time from the stop request, made once `waiting` holds, to the call's return; `reset` runs
// before each call.
void measureStop(benchmark::State& state, const std::function<void()>& reset, const std::function<bool()>& waiting,
                 const std::function<void(std::stop_token)>& call)
{
    for (auto _ : state) {
        reset();
        std::stop_source stop;
        std::atomic<Clock::rep> requested = 0;
        std::jthread stopper([&] {
            while (!waiting())
                std::this_thread::sleep_for(1ms);
            requested = Clock::now().time_since_epoch().count();
            stop.request_stop();
        });
        call(stop.get_token());
        const auto returned = Clock::now().time_since_epoch().count();
        stopper.join();
        state.SetIterationTime(std::chrono::duration<double>(Clock::duration(returned - requested)).count());
    }
}

// A scratch home whose user chose their own Ollama and whose `ollama` writes its process id and
// hangs. The one started as a server is detached, as a user's server is: it is killed here.
class HangingCommand {
public:
    HangingCommand()
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        SettingsStore::resetCache();
        AppSettings settings;
        settings.useExternalOllama = true;
        SettingsStore::save(settings);
        const QByteArray mark = QFile::encodeName(m_mark);
        writeExecutable(m_home.filePath(QStringLiteral(".local/bin/ollama")),
                        "#!/bin/sh\necho $$ > '" + mark + ".new'\nmv '" + mark + ".new' '" + mark
                            + "'\nexec sleep 60\n");
    }
    ~HangingCommand() { reset(true); }
    bool started() const { return QFile::exists(m_mark); }
    void reset(bool kill) const
    {
        if (const pid_t pid = readFile(m_mark).trimmed().toInt(); kill && pid > 0)
            ::kill(pid, SIGKILL);
        QFile::remove(m_mark);
    }

private:
    QTemporaryDir m_home;
    QString m_mark = m_home.filePath(QStringLiteral("started"));
};

void BM_StopLatency_http_stream(benchmark::State& state)
{
    std::atomic<bool> streaming = false;
    LocalHttpServer local;
    local.server.Get("/stall", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/plain", [&](size_t, httplib::DataSink& sink) {
            sink.write("first\n", 6);
            local.holdUntilReleased();
            return false;
        });
    });
    local.start();
    Http::Request request;
    request.url = local.url(QStringLiteral("/stall"));
    measureStop(
        state, [&] { streaming = false; }, [&] { return streaming.load(); },
        [&](std::stop_token stop) {
            Http::streamLines(
                request,
                [&](const QByteArray&) {
                    streaming = true;
                    return true;
                },
                stop);
        });
    local.release();
}

void BM_StopLatency_ollama_list(benchmark::State& state)
{
    const HangingCommand command;
    measureStop(
        state, [&] { command.reset(false); }, [&] { return command.started(); },
        [](std::stop_token stop) { OllamaService::installedModels(stop); });
}

void BM_StopLatency_engine_wait(benchmark::State& state)
{
    const HangingCommand command;
    measureStop(
        state, [&] { command.reset(true); }, [&] { return command.started(); },
        [](std::stop_token stop) { OllamaService::ensureRunning(OllamaService::defaultStartWait, stop); });
}

}

BENCHMARK(BM_StopLatency_http_stream)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_StopLatency_ollama_list)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_StopLatency_engine_wait)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
