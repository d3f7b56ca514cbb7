// One screen-text grab as the tray makes it, without a display: the recogniser warmed at the
// trigger, a drag of one second, then the time from mouse-up to the text of three lines (median
// and slowest of 10), and the tray's resident memory before and after:
//   QT_QPA_PLATFORM=offscreen build/bin/bench_ocr_memory

#include <algorithm>
#include <cstdio>
#include <optional>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

#include "ocr/RecognitionWorker.h"
#include "ocr/TextSample.h"
#include "tests/support/EventLoop.h"

namespace {

qint64 rssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QImage crop = TextSample::render({QStringLiteral("屏幕取字把截图里的文字读出来，"),
                                            QStringLiteral("Quillo reads text from a screenshot."),
                                            QStringLiteral("中英混排 mixed 文本 2024 年。")},
                                           16);
    RecognitionWorker& worker = RecognitionWorker::instance();
    const qint64 before = rssKb();
    QList<qint64> times;
    for (int run = 0; run < 10; ++run) {
        worker.warmUp();
        processEventsFor(1000);
        std::optional<QString> read;
        QElapsedTimer clock;
        clock.start();
        worker.recognize(crop, &app, [&](const QString& text) { read = text; });
        if (!processEventsUntil([&] { return read.has_value(); }, 60000) || read->isEmpty()) {
            std::fprintf(stderr, "bench_ocr_memory: nothing was read\n");
            return 1;
        }
        times << clock.elapsed();
    }
    std::sort(times.begin(), times.end());
    std::printf("mouse-up to text, three lines: median %lld ms, slowest %lld ms\n", times[times.size() / 2],
                times.last());
    std::printf("tray rss_kb before %lld, after %lld\n", before, rssKb());
    return 0;
}
