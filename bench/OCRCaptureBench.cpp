// The screenshot shortcut's first steps on a real X server: grabbing every screen, and the time
// from the call to every overlay being on screen (exposed). Run it on a 4K screen:
//   xvfb-run -a -s "-screen 0 3840x2160x24" build/bin/bench_ocr_capture
// and with QT_SCALE_FACTOR=2 for a HiDPI one.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include "ocr/ScreenGrab.h"
#include "ocr/ScreenOCR.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RegionOverlays.h"

namespace {

void BM_GrabAllScreens(benchmark::State& state)
{
    QSize size;
    for (auto _ : state)
        size = ScreenGrab::grabAll().value(0).image.size();
    state.SetLabel(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()).toStdString());
}
BENCHMARK(BM_GrabAllScreens)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TriggerToOverlayShown(benchmark::State& state)
{
    QObject context;
    ScreenOCR screenText;
    for (auto _ : state) {
        bool answered = false;
        screenText.capture(&context, [&](ScreenTextCapture::Result) { answered = true; });
        if (!processEventsUntil([] { return !shownRegionOverlays().isEmpty(); }, 5000)) {
            state.SkipWithError("the overlay never showed");
            return;
        }
        state.PauseTiming();
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(shownRegionOverlays().first(), &escape);
        processEventsUntil([&] { return answered && shownRegionOverlays().isEmpty(); });
        processEventsFor(50);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TriggerToOverlayShown)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
