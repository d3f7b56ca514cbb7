#include "app/Modes.h"

#include "app/Out.h"
#include "engines/ollama/OllamaEngineControl.h"
#include "engines/ollama/QwenClient.h"
#include "settings/SettingsStore.h"

namespace {

using PullPhase = ManagedOllama::PullPhase;

QString modelArgument(const QStringList& args)
{
    const qsizetype at = args.indexOf(QStringLiteral("--selftest-pull"));
    return at + 1 < args.size() ? args[at + 1] : QStringLiteral("qwen2.5:0.5b");
}

// Every status line, and of the percentages only each new multiple of 20.
ManagedOllama::ProgressHandler progressPrinter()
{
    return [lastPercent = -1](const PullPhase& phase, const QString& text) mutable {
        if (phase.kind == PullPhase::Kind::downloading) {
            const int percent = qRound(phase.fraction * 100);
            if (percent % 20 != 0 || percent == lastPercent)
                return;
            lastPercent = percent;
        }
        out(QStringLiteral("PROGRESS: ") + text);
    };
}

bool fail(const QString& reason)
{
    out(QStringLiteral("PULL_SELFTEST_FAIL: ") + reason);
    return false;
}

bool pullAndAnswer(EngineControl& engines, const QString& model)
{
    if (!engines.isBundled())
        return fail(QStringLiteral("不是内置模式（包里没注入 ollama 二进制）"));
    out(QStringLiteral("isBundled=true endpoint=") + engines.baseURL());
    if (!engines.ensureRunning({}))
        return fail(QStringLiteral("内置引擎没起来"));
    out(QStringLiteral("引擎已就绪（/api/tags 200）"));

    if (const auto error = engines.pull(model, progressPrinter(), {}))
        return fail(QStringLiteral("pull 出错: ") + error->description());
    out(QStringLiteral("下载完成。落地校验 hasModel=") + QLatin1String(engines.hasModel(model, {}) ? "true" : "false"));
    AppSettings settings = SettingsStore::load(true);
    settings.qwenModel = model;
    SettingsStore::save(settings);

    const ChatResult answer = QwenClient::explain(QStringLiteral("你好"));
    if (!answer.ok())
        return fail(QStringLiteral("推理出错: ") + answer.description());
    out(QStringLiteral("INFER_OK: ") + answer.answer.left(80).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    out(QStringLiteral("PULL_SELFTEST_PASS"));
    return true;
}

int selftestPull(const QStringList& args)
{
    OllamaEngineControl engines;
    const bool passed = pullAndAnswer(engines, modelArgument(args));
    // The engine this check started goes with it.
    engines.shutdown();
    return passed ? 0 : 1;
}

}

const Mode selftestPullMode = {AppObject::none, "[MODEL]", "pull a model into the built-in engine and run one answer",
                               selftestPull};
