#include "engines/ollama/OllamaService.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

#include "engines/ollama/EngineLogs.h"
#include "engines/ollama/ManagedOllama.h"
#include "engines/ollama/OllamaHttp.h"
#include "settings/HomeDir.h"
#include "settings/SettingsStore.h"

using namespace std::chrono_literals;

namespace {

// `ollama list` only asks the server; a hung one must not hold the caller forever.
constexpr auto listTimeout = 15s;
// Qt's process waits cannot be woken from another thread, so the stop token is looked at
// between waits this long.
constexpr int stopCheckMs = 20;

// The user's server, detached like `nohup ollama serve`: it is theirs and outlives us.
void startDetached(const QString& executable)
{
    QProcess process;
    process.setProgram(executable);
    process.setArguments({QStringLiteral("serve")});
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString log = EngineLogs::file(EngineLogs::userEngine);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(log.isEmpty() ? QProcess::nullDevice() : log);
    process.startDetached();
}

}

QStringList OllamaService::executableLocations()
{
    return {HomeDir::path() + QStringLiteral("/.local/bin/ollama"), QStringLiteral("/usr/local/bin/ollama"),
            QStringLiteral("/usr/bin/ollama"), QStringLiteral("/snap/bin/ollama"),
            QStringLiteral("/home/linuxbrew/.linuxbrew/bin/ollama")};
}

std::optional<QString> OllamaService::ollamaPath()
{
    for (const QString& location : executableLocations()) {
        const QFileInfo info(location);
        if (info.isFile() && info.isExecutable())
            return location;
    }
    return std::nullopt;
}

bool OllamaService::isRunning(std::stop_token stop)
{
    return OllamaHttp::answersOk(ManagedOllama::baseURL() + QStringLiteral("/api/version"), 2s, std::move(stop));
}

bool OllamaService::ensureRunning(std::chrono::milliseconds timeout, std::stop_token stop)
{
    if (!SettingsStore::load().useExternalOllama && ManagedOllama::isBundled())
        return ManagedOllama::ensureRunning(std::max<std::chrono::milliseconds>(timeout, 90s), stop);
    if (isRunning(stop))
        return true;
    if (stop.stop_requested())
        return false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    if (const std::optional<QString> executable = ollamaPath())
        startDetached(*executable);
    while (std::chrono::steady_clock::now() < deadline) {
        if (isRunning(stop))
            return true;
        if (!OllamaHttp::pause(600ms, stop))
            return false;
    }
    return isRunning(stop);
}

QStringList OllamaService::installedModels(std::stop_token stop)
{
    if (ManagedOllama::isBundled() || stop.stop_requested())
        return {};
    const std::optional<QString> executable = ollamaPath();
    if (!executable)
        return {};
    QProcess process;
    process.start(*executable, {QStringLiteral("list")});
    if (!process.waitForStarted())
        return {};
    const auto deadline = std::chrono::steady_clock::now() + listTimeout;
    while (!process.waitForFinished(stopCheckMs)) {
        if (process.state() == QProcess::NotRunning)
            return {};
        if (stop.stop_requested() || std::chrono::steady_clock::now() >= deadline) {
            process.kill();
            process.waitForFinished();
            return {};
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString output = utf8.decode(process.readAllStandardOutput());
    if (utf8.hasError())
        return {};
    return parseModelList(output);
}

QStringList OllamaService::parseModelList(const QString& output)
{
    const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList names;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString name = lines[i].section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty).trimmed();
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

bool OllamaService::listsModel(const QStringList& models, const QString& name)
{
    for (const QString& model : models) {
        if (model == name || model.startsWith(name + QLatin1Char(':')) || model == name + QStringLiteral(":latest"))
            return true;
    }
    return false;
}

bool OllamaService::hasModel(const QString& name, std::stop_token stop)
{
    return listsModel(installedModels(std::move(stop)), name);
}
