// The dictation helper (quillo-dictation) with the pinned sherpa-onnx engine:
//   HelperStartup/engine  process start, loading the engine library and checking its version
//   HelperStartup/model   process start until the model is loaded and the helper says "ready"
//   RealTimeFactor        recognition time over audio time, for 10 s of speech with pauses
//   CharacterErrorRate    the share of the characters of a spoken sentence missing from what the
//                         helper heard (synthetic speech: a working model gets most of them)
// The last three need a model: QUILLO_DICTATION_MODEL_DIR names an unpacked streaming Chinese
// zipformer; without it they report "not measured".
// Run by hand: build/bin/bench_dictation
#include <benchmark/benchmark.h>

#include <chrono>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "speech/DictationModel.h"
#include "tests/speech/SpokenMandarin.h"

namespace {

const QString helper = QStringLiteral(QUILLO_BIN_DIR "/quillo-dictation");

// The helper's arguments for the model in QUILLO_DICTATION_MODEL_DIR, or nothing.
QStringList modelArguments()
{
    static QTemporaryDir home;
    const QString modelDir = qEnvironmentVariable("QUILLO_DICTATION_MODEL_DIR");
    if (modelDir.isEmpty())
        return {};
    qputenv("HOME", QFile::encodeName(home.path()));
    QDir().mkpath(QFileInfo(DictationModel::modelDir()).absolutePath());
    QFile::link(QDir(modelDir).absolutePath(), DictationModel::modelDir());
    const std::optional<DictationModel::Files> files = DictationModel::files();
    return files ? QStringList{files->encoder, files->decoder, files->joiner, files->tokens} : QStringList{};
}

bool waitForReady(QProcess& process)
{
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(30000))
            return false;
    }
    return process.readLine() == "ready\n";
}

void HelperStartup_engine(benchmark::State& state)
{
    for (auto _ : state) {
        QProcess process;
        process.start(helper, {QStringLiteral("--version")});
        if (!process.waitForFinished() || process.exitCode() != 0)
            return state.SkipWithError("the engine did not load: run scripts/install-sherpa.sh and rebuild");
    }
}
BENCHMARK(HelperStartup_engine)->Name("HelperStartup/engine")->Unit(benchmark::kMillisecond);

void HelperStartup_model(benchmark::State& state)
{
    const QStringList arguments = modelArguments();
    if (arguments.isEmpty())
        return state.SkipWithError("not measured: set QUILLO_DICTATION_MODEL_DIR");
    for (auto _ : state) {
        QProcess process;
        process.start(helper, arguments);
        if (!waitForReady(process))
            return state.SkipWithError("the model did not load");
        state.PauseTiming();
        process.closeWriteChannel();
        process.waitForFinished();
        state.ResumeTiming();
    }
}
BENCHMARK(HelperStartup_model)->Name("HelperStartup/model")->Unit(benchmark::kMillisecond);

void RealTimeFactor(benchmark::State& state)
{
    const QStringList arguments = modelArguments();
    if (arguments.isEmpty())
        return state.SkipWithError("not measured: set QUILLO_DICTATION_MODEL_DIR");
    const QByteArray pause(16000, '\0'); // 0.5 s
    QByteArray speech;
    while (speech.size() < 10 * 32000)
        speech += spokenMandarin(QStringLiteral("qing3 ba3 zhe4 duan4 hua4 gai3 de2 geng4 duan3 yi4 xie1")) + pause;
    const double audioSeconds = speech.size() / 32000.0;
    for (auto _ : state) {
        QProcess process;
        process.start(helper, arguments);
        if (!waitForReady(process))
            return state.SkipWithError("the model did not load");
        const auto begun = std::chrono::steady_clock::now();
        process.write(speech);
        process.closeWriteChannel();
        process.waitForFinished(120000);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begun;
        state.SetIterationTime(took.count());
        state.counters["rtf"] = took.count() / audioSeconds;
    }
}
BENCHMARK(RealTimeFactor)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void CharacterErrorRate(benchmark::State& state)
{
    const QStringList arguments = modelArguments();
    if (arguments.isEmpty())
        return state.SkipWithError("not measured: set QUILLO_DICTATION_MODEL_DIR");
    const QString expected = QStringLiteral("今天天气很好");
    // Trailing silence longer than the pause that ends a segment.
    const QByteArray speech =
        spokenMandarin(QStringLiteral("jin1 tian1 tian1 qi4 hen3 hao3")) + QByteArray(64000, '\0');
    for (auto _ : state) {
        QProcess process;
        process.start(helper, arguments);
        if (!waitForReady(process))
            return state.SkipWithError("the model did not load");
        process.write(speech);
        process.closeWriteChannel();
        process.waitForFinished(120000);
        QString heard;
        for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
            if (line.startsWith("final\t") || line.startsWith("partial\t"))
                heard = QString::fromUtf8(line.mid(line.indexOf('\t') + 1));
        }
        state.counters["cer"] =
            std::count_if(expected.begin(), expected.end(), [&](QChar c) { return !heard.contains(c); })
            / double(expected.size());
    }
}
BENCHMARK(CharacterErrorRate)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
