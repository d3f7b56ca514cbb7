// Time from an injected press of the main shortcut to the captured selection, through the same
// path as the application (HotKey → the capture service), on each of its three roads:
// AT-SPI (a Qt and a GTK editor), the primary selection (xterm) and the simulated copy (an editor
// without accessibility whose selection was made in code). Run it in a private desktop:
// tests/support/in-desktop.sh build/bin/bench_capture_latency

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include <QCoreApplication>

#include "core/HotKey.h"
#include "app/InstalledPlatform.h"
#include "capture/SelectionCaptureService.h"
#include "core/KeyFormatter.h"
#include "core/TaskPool.h"
#include "platform/PlatformServices.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"

namespace {

const QString sample = QStringLiteral("第一句话。你好🙂世界，选中的😀文字在这里。后面还有一句！");
constexpr quint32 keyE = 14;
constexpr quint32 optionCommand = KeyFormatter::optionMask | KeyFormatter::commandMask;

DesktopSession* desktop = nullptr;

enum class Target { qtEditor, mousepad, xterm, inaccessibleEditor };

QProcess* startTarget(Target target)
{
    switch (target) {
    case Target::qtEditor: {
        QProcess* editor = desktop->startQtEditor(sample, true);
        return editor && DesktopSession::selectByKeyboard(8, 9) ? editor : nullptr;
    }
    case Target::mousepad: {
        QProcess* mousepad = desktop->startMousepad(desktop->homePath() + QStringLiteral("/bench.txt"), sample);
        return mousepad && DesktopSession::selectByKeyboard(8, 9) ? mousepad : nullptr;
    }
    case Target::xterm:
        return desktop->startXtermWithSelectedLine(QStringLiteral("终端里的一行 selected line"));
    case Target::inaccessibleEditor: {
        QProcess* editor = desktop->startQtEditor(sample, false, {QStringLiteral("--select"), QStringLiteral("9"),
                                                                  QStringLiteral("10")});
        DesktopSession::clearPrimarySelection();
        return editor;
    }
    }
    return nullptr;
}

void captureAfterShortcut(benchmark::State& state, Target target, const QString& expectedMethod)
{
    QProcess* process = startTarget(target);
    if (!process) {
        state.SkipWithError("the target application did not start");
        return;
    }
    QObject context;
    TaskPool tasks(1);
    PlatformSelectionCapture capture(Platform::services(), tasks);
    std::optional<std::optional<SelectionCapture::Result>> delivered;
    HotKey shortcut(Shortcut{keyE, optionCommand}, HotKey::mainId, [&] {
        capture.capture(&context, [&](std::optional<SelectionCapture::Result> result) { delivered = result; });
    });
    const std::shared_ptr<SyntheticKeys> keys = Platform::services().keys;
    for (auto _ : state) {
        delivered.reset();
        const auto start = std::chrono::steady_clock::now();
        keys->sendChord(keyE, optionCommand);
        processEventsUntil([&] { return delivered.has_value(); }, 5000);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (!delivered || !*delivered || (*delivered)->method != expectedMethod) {
            state.SkipWithError("the capture did not take the expected road");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        processEventsFor(20);
    }
    desktop->stop(process);
}

}

BENCHMARK_CAPTURE(captureAfterShortcut, atspi_qt, Target::qtEditor, SelectionCapture::methodAX)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK_CAPTURE(captureAfterShortcut, atspi_gtk, Target::mousepad, SelectionCapture::methodAX)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK_CAPTURE(captureAfterShortcut, primary_xterm, Target::xterm, SelectionCapture::methodCopy)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK_CAPTURE(captureAfterShortcut, copy, Target::inaccessibleEditor, SelectionCapture::methodCopy)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    {
        QCoreApplication app(argc, argv);
        DesktopSession session;
        desktop = &session;
        InstalledPlatform platform;
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    return 0;
}
