#include "engines/LocalEndpoint.h"

#include <condition_variable>
#include <mutex>

#include <QFileInfo>

#include "engines/http/Http.h"
#include "settings/SettingsStore.h"

using namespace std::chrono_literals;

namespace LocalEndpoint {

namespace {

// The built-in engine ships in share/quillo/ollama-runtime beside the binary's bin/ directory.
bool hasBuiltInEngine()
{
    const QString binDir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    const QFileInfo engine(binDir + QStringLiteral("/../share/quillo/ollama-runtime/bin/ollama"));
    return engine.isFile() && engine.isExecutable();
}

bool isRunning(std::stop_token stop)
{
    Http::Request request;
    request.url = baseURL() + QStringLiteral("/api/version");
    request.connectTimeout = 2s;
    request.idleTimeout = 2s;
    const Http::Response response = Http::fetch(request, stop);
    return response.ok() && response.status == 200;
}

// Sleeps, waking early when stopped; false when stopped.
bool pause(std::chrono::milliseconds duration, std::stop_token stop)
{
    std::mutex mutex;
    std::condition_variable_any woken;
    std::unique_lock lock(mutex);
    woken.wait_for(lock, stop, duration, [] { return false; });
    return !stop.stop_requested();
}

}

QString baseURL()
{
    const bool builtIn = !SettingsStore::load().useExternalOllama && hasBuiltInEngine();
    return builtIn ? QStringLiteral("http://127.0.0.1:11435") : QStringLiteral("http://127.0.0.1:11434");
}

QString chatEndpoint()
{
    return baseURL() + QStringLiteral("/api/chat");
}

bool ensureRunning(std::chrono::milliseconds timeout, std::stop_token stop)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (isRunning(stop))
            return true;
        if (!pause(600ms, stop))
            return false;
    }
    return isRunning(stop);
}

}
