// Resident memory around one screen-text recognition: before, with the models loaded, and after
// the worker freed them (as it does a minute after the last use). Runs without a display:
//   QT_QPA_PLATFORM=offscreen build/bin/bench_ocr_memory

#include <cstdio>
#include <optional>

#include <QApplication>
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
    const QImage crop = TextSample::render(
        {QStringLiteral("屏幕取字把截图里的文字读出来，"), QStringLiteral("Quillo reads text from a screenshot.")}, 16);
    RecognitionWorker& worker = RecognitionWorker::instance();
    const qint64 before = rssKb();
    std::optional<QString> read;
    worker.recognize(crop, &app, [&](const QString& text) { read = text; });
    if (!processEventsUntil([&] { return read.has_value(); }, 60000) || read->isEmpty()) {
        std::fprintf(stderr, "bench_ocr_memory: nothing was read\n");
        return 1;
    }
    const qint64 loaded = rssKb();
    worker.release();
    // The release runs on the worker's thread after the recognition: a second one waits for it.
    read.reset();
    worker.recognize(QImage(), &app, [&](const QString& text) { read = text; });
    processEventsUntil([&] { return read.has_value(); }, 60000);
    const qint64 released = rssKb();
    std::printf("rss_kb before %lld, models loaded %lld, freed %lld\n", before, loaded, released);
    return 0;
}
