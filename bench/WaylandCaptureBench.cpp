// Capture latency on Wayland: mousepad (GTK 3, native Wayland) with a phrase selected in a
// private headless sway session, read the way the main shortcut reads it. Prints the median of
// 20 for the accessibility road (the application in front asked of sway, its focused text and
// context over AT-SPI) and for the primary selection through data-control (the compositor asks
// mousepad for the text over a pipe). Run it in the session:
//   tests/support/in-wayland.sh sway build/bin/bench_wayland_capture

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "app/InstalledPlatform.h"
#include "capture/SelectionCapture.h"
#include "tests/support/AtspiDriver.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"

namespace {

constexpr int samples = 20;
const QString document = QStringLiteral("Quillo reads selected words on Wayland. Second sentence here.");
const QString phrase = QStringLiteral("reads selected");

template <typename Read>
double medianMs(Read read, bool& allRight)
{
    std::vector<double> times;
    for (int i = 0; i < samples; ++i) {
        const auto started = std::chrono::steady_clock::now();
        allRight = read() && allRight;
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
        QCoreApplication::processEvents();
    }
    std::sort(times.begin(), times.end());
    return (times[samples / 2 - 1] + times[samples / 2]) / 2;
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    DesktopSession session;
    QTemporaryDir files;
    const QString path = files.filePath(QStringLiteral("doc.txt"));
    QProcess* mousepad = writeFile(path, document.toUtf8()) && AtspiDriver::join()
        ? session.start(QStringLiteral("mousepad"), {path})
        : nullptr;
    const qint64 pid = mousepad ? mousepad->processId() : 0;
    if (!mousepad
        || !processEventsUntil([&] { return AtspiDriver::isActive(pid) && AtspiDriver::editableText(pid) == document; },
                               30000)
        || !AtspiDriver::select(pid, 7, 21)) {
        std::fputs("mousepad did not come up in front with the document: run this in tests/support/in-wayland.sh\n",
                   stderr);
        return 1;
    }

    const InstalledPlatform platform;
    const PlatformServices services = Platform::services();
    processEventsUntil([&] { return services.clipboard->selectionText() == phrase; }, 30000);

    bool accessibilityRight = true;
    const double accessibility = medianMs(
        [&] {
            const std::optional<SelectionCapture::Result> result =
                SelectionCapture::captureViaAX(*services.accessibility);
            return result && result->text == phrase && result->contextAfter;
        },
        accessibilityRight);
    bool primaryRight = true;
    const double primary = medianMs([&] { return services.clipboard->selectionText() == phrase; }, primaryRight);

    std::printf("capture through AT-SPI (with context), median of %d: %.2f ms%s\n", samples, accessibility,
                accessibilityRight ? "" : " (some reads were wrong)");
    std::printf("PRIMARY through data-control, median of %d: %.2f ms%s\n", samples, primary,
                primaryRight ? "" : " (some reads were wrong)");
    return accessibilityRight && primaryRight ? 0 : 1;
}
