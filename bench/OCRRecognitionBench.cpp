// Recognition of a three-line Chinese and English crop (about 600 × 90 px, as a user drags over a
// paragraph) with the warm engine, on the thread that keeps it. Runs without a display:
//   QT_QPA_PLATFORM=offscreen OMP_THREAD_LIMIT=1 build/bin/bench_ocr_recognition

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QThread>

#include "ocr/OCREngine.h"
#include "ocr/TextRecognizer.h"
#include "ocr/TextSample.h"

namespace {

// About 600 × 90 px of 16 px text, ~100 characters.
const QStringList densePiece = {
    QStringLiteral("屏幕取字把截图里框住的文字读出来，然后交给同一个弹窗去解释或翻译。"),
    QStringLiteral("Quillo reads the text in a screenshot on this device; nothing is uploaded."),
    QStringLiteral("中英混排 mixed 文本也按阅读顺序排好，识别在本机完成 2024 年。")};
// The same three lines shorter, ~50 characters (about 290 × 90 px).
const QStringList shortPiece = {QStringLiteral("屏幕取字把截图里的文字读出来，"),
                                QStringLiteral("Quillo reads text from a screenshot."),
                                QStringLiteral("中英混排 mixed 文本 2024 年。")};

// The engine's loops stay on the thread that set them up, so the whole run happens on one.
void runOnOwnThread(const std::function<void()>& work)
{
    QThread* thread = QThread::create(work);
    thread->start();
    thread->wait();
    delete thread;
}

// Each iteration reads the crop with an engine loaded and used once before, as a grab finds it.
void readWarm(benchmark::State& state, const QImage& crop)
{
    runOnOwnThread([&] {
        OCREngine engine;
        engine.load();
        TextRecognizer::recognizeText(engine, crop);
        for (auto _ : state)
            benchmark::DoNotOptimize(TextRecognizer::recognizeText(engine, crop));
    });
}

void BM_WarmRecognition(benchmark::State& state)
{
    const QImage crop = TextSample::render(state.range(0) == 0 ? densePiece : shortPiece, 16);
    state.SetLabel(QStringLiteral("%1x%2 px").arg(crop.width()).arg(crop.height()).toStdString());
    readWarm(state, crop);
}
// The text is scaled up by 1.5 before it is read (its lines are 16 px high); the time grows with
// the number of characters.
BENCHMARK(BM_WarmRecognition)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void BM_EngineLoad(benchmark::State& state)
{
    runOnOwnThread([&] {
        for (auto _ : state) {
            OCREngine engine;
            engine.load();
        }
    });
}
BENCHMARK(BM_EngineLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Each screenshot of tests/fixtures/ocr, read by the warm engine as a grab reads it: the in-process
// time beside bench/ocr-accuracy.py's, which starts a process and loads the models per image.
void BM_WarmScreenshot(benchmark::State& state, const QString& path)
{
    readWarm(state, QImage(path));
}

}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QDir screenshots(QStringLiteral(QUILLO_OCR_FIXTURES));
    for (const QString& name : screenshots.entryList({QStringLiteral("*.png")}))
        benchmark::RegisterBenchmark(("BM_WarmScreenshot/" + name).toStdString().c_str(), BM_WarmScreenshot,
                                     screenshots.filePath(name))
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
