#include "engines/ollama/ManagedOllama.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>

#include "engines/http/Http.h"
#include "engines/ollama/EngineLogs.h"
#include "engines/ollama/EngineProcess.h"
#include "engines/ollama/OllamaHttp.h"
#include "settings/AppBundle.h"
#include "settings/HomeDir.h"
#include "settings/SettingsStore.h"

using namespace std::chrono_literals;

namespace {

QString loopbackBase(int port)
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

void launchServe(const QString& runtimeDir)
{
    const QString program = runtimeDir + QStringLiteral("/bin/ollama");
    if (!QFileInfo(program).isExecutable())
        return;
    // Created before every launch, not remembered: the home directory may have moved meanwhile.
    QDir().mkpath(ManagedOllama::dataDir());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OLLAMA_HOST"), QStringLiteral("127.0.0.1:%1").arg(ManagedOllama::managedPort));
    environment.insert(QStringLiteral("OLLAMA_MODELS"), ManagedOllama::dataDir());
    environment.insert(QStringLiteral("OLLAMA_KEEP_ALIVE"), QStringLiteral("30m"));
    EngineProcess::start(
        {program, {QStringLiteral("serve")}, environment.toStringList(), EngineLogs::file(EngineLogs::managedEngine)});
}

}

bool ManagedOllama::isBundled()
{
    return QFileInfo(bundledRuntimeDir() + QStringLiteral("/bin/ollama")).isExecutable();
}

QString ManagedOllama::bundledRuntimeDir()
{
    return AppBundle::resourceDir() + QStringLiteral("/ollama-runtime");
}

QString ManagedOllama::dataDir()
{
    return HomeDir::path() + QStringLiteral("/.local/share/quillo/models");
}

QString ManagedOllama::resolveBase(bool useExternal, bool isBundled)
{
    return loopbackBase(!useExternal && isBundled ? managedPort : externalPort);
}

QString ManagedOllama::baseURL()
{
    return resolveBase(SettingsStore::load().useExternalOllama, isBundled());
}

QString ManagedOllama::chatEndpoint()
{
    return baseURL() + QStringLiteral("/api/chat");
}

const QList<ManagedOllama::ModelChoice>& ManagedOllama::modelCatalog()
{
    static const QList<ModelChoice> catalog = {
        {QStringLiteral("qwen2.5:3b"), "model.pick.light.title", "model.pick.light.desc", QStringLiteral("~2 GB"),
         false},
        {QStringLiteral("qwen2.5:7b"), "model.pick.balanced.title", "model.pick.balanced.desc",
         QStringLiteral("~4.7 GB"), true},
        {QStringLiteral("qwen3:8b"), "model.pick.smart.title", "model.pick.smart.desc", QStringLiteral("~5 GB"), false},
    };
    return catalog;
}

bool ManagedOllama::ensureRunning(std::chrono::milliseconds timeout, std::stop_token stop)
{
    if (SettingsStore::load().useExternalOllama || !isBundled())
        return false;
    if (isReady(stop))
        return true;
    const QString runtimeDir = bundledRuntimeDir();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!stop.stop_requested() && std::chrono::steady_clock::now() < deadline) {
        if (!EngineProcess::isRunning())
            launchServe(runtimeDir);
        if (isReady(stop))
            return true;
        if (!OllamaHttp::pause(600ms, stop))
            return false;
    }
    return isReady(stop);
}

bool ManagedOllama::isReady(std::stop_token stop)
{
    return OllamaHttp::answersOk(baseURL() + QStringLiteral("/api/tags"), 2s, std::move(stop));
}

QStringList ManagedOllama::listModels(std::stop_token stop)
{
    return OllamaHttp::modelNames(baseURL() + QStringLiteral("/api/tags"), 3s, std::move(stop)).value_or(QStringList());
}

bool ManagedOllama::listsModel(const QStringList& models, const QString& name)
{
    static const QString latest = QStringLiteral(":latest");
    auto withoutLatest = [](QString model) {
        if (model.endsWith(latest))
            model.chop(latest.size());
        return model;
    };
    for (const QString& model : models) {
        if (model == name || model == name + latest || model.startsWith(name + QLatin1Char(':'))
            || name.startsWith(model + QLatin1Char(':')) || withoutLatest(model) == withoutLatest(name))
            return true;
    }
    return false;
}

bool ManagedOllama::hasModel(const QString& name, std::stop_token stop)
{
    return listsModel(listModels(std::move(stop)), name);
}

bool ManagedOllama::deleteModel(const QString& name, std::stop_token stop)
{
    if (!isBundled() || !ensureRunning(15s, stop))
        return false;
    Http::Request request =
        Http::Request::json("DELETE", baseURL() + QStringLiteral("/api/delete"), {{QStringLiteral("model"), name}});
    request.idleTimeout = 30s;
    const Http::Response response = Http::fetch(request, std::move(stop));
    return response.ok() && response.status == 200;
}

QStringList ManagedOllama::externalModels(std::stop_token stop, std::chrono::milliseconds timeout)
{
    return OllamaHttp::modelNames(loopbackBase(externalPort) + QStringLiteral("/api/tags"), timeout, std::move(stop))
        .value_or(QStringList());
}

void ManagedOllama::terminateSync()
{
    EngineProcess::terminate(3s);
}
