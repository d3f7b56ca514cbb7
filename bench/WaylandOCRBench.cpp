// The screen-text shortcut on Wayland, from the trigger to every overlay on screen (exposed),
// after a first grab the desktop allowed, through one road to the desktop's picture:
//   tests/support/in-wayland.sh sway build/bin/bench_wayland_ocr grim
//   tests/support/in-wayland.sh sway build/bin/bench_wayland_ocr portal   (the fake portal, a PNG file)
//   tests/support/in-wayland.sh kwin build/bin/bench_wayland_ocr kwin     (allowed by a desktop entry)
//   QUILLO_GNOME_PORTALS=1 tests/support/in-wayland.sh gnome-shell sh -c
//     'bench/portal-screenshot-time.py && build/bin/bench_wayland_ocr desktop-portal'   (GNOME 48's own)
// Prints the median, the 90th percentile and the slowest of 20 runs.

#include <algorithm>
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "ocr/ScreenOCR.h"
#include "platform/PlatformServices.h"
#include "platform/wayland/GrimScreenshot.h"
#include "platform/wayland/KWinScreenShot.h"
#include "platform/wayland/PortalScreenshot.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RegionOverlays.h"
#include "tests/support/RunProgram.h"

namespace {

constexpr int runs = 20;

// The fake portal on the session bus, answering with a picture of the screen's size.
bool startFakePortal(QProcess& portal, const QTemporaryDir& dir)
{
    const QString picture = dir.filePath(QStringLiteral("desktop.png"));
    QImage image(QGuiApplication::primaryScreen()->geometry().size(), QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    if (!image.save(picture))
        return false;
    portal.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(QUILLO_TESTS_DIR "/support/fake_portal.py"),
                  dir.filePath(QStringLiteral("portal.log")), QStringLiteral("--screenshot"), picture});
    return processEventsUntil([] { return sessionBusNameOwned(QStringLiteral("org.freedesktop.portal.Desktop")); },
                              15000);
}

// KWin gives its picture to this program once an installed desktop entry lists the interface.
bool enterForKWin()
{
    const QString dir =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/applications");
    return QDir().mkpath(dir)
        && writeFile(dir + QStringLiteral("/quillo-bench.desktop"),
                     "[Desktop Entry]\nType=Application\nName=Bench\nExec="
                         + QCoreApplication::applicationFilePath().toUtf8()
                         + "\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n");
}

// One trigger: the time until every overlay is exposed, or -1; Escape ends it.
qint64 triggerToOverlay(ScreenOCR& screenText, int screens)
{
    QObject context;
    bool answered = false;
    QElapsedTimer clock;
    clock.start();
    screenText.capture(&context, [&](ScreenTextCapture::Result) { answered = true; });
    if (!processEventsUntil([&] { return answered || shownRegionOverlays().size() == screens; }, 15000) || answered)
        return -1;
    const qint64 elapsed = clock.elapsed();
    for (QWidget* overlay : shownRegionOverlays()) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(overlay, &escape);
        break;
    }
    processEventsUntil([&] { return answered && shownRegionOverlays().isEmpty(); }, 15000);
    processEventsFor(100);
    return elapsed;
}

}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "wayland");
    QApplication app(argc, argv);
    const QString road = app.arguments().value(1);
    QTemporaryDir dir;
    QProcess portal;
    PlatformServices services;
    services.session = {Session::Display::wayland, Session::Desktop::other, false};
    if (road == QLatin1String("grim")) {
        services.screenImages = std::make_shared<GrimScreenshot>();
    } else if (road == QLatin1String("kwin")) {
        if (!enterForKWin())
            return 1;
        services.screenImages = std::make_shared<KWinScreenShot>();
    } else if (road == QLatin1String("portal") || road == QLatin1String("desktop-portal")) {
        // desktop-portal: the session's own, the user's Allow already stored (as
        // bench/portal-screenshot-time.py leaves it).
        if (road == QLatin1String("portal") && !startFakePortal(portal, dir)) {
            std::fprintf(stderr, "the fake portal did not start\n");
            return 1;
        }
        services.screenImages = std::make_shared<PortalScreenshot>();
    } else {
        std::fprintf(stderr, "usage: bench_wayland_ocr grim|kwin|portal|desktop-portal\n");
        return 2;
    }
    Platform::install(services);
    ScreenOCR screenText;
    const int screens = int(QGuiApplication::screens().size());
    // KWin reads its desktop entries again a moment after they change: the first allowed grab.
    int tries = 0;
    while (triggerToOverlay(screenText, screens) < 0 && ++tries < 30)
        processEventsFor(1000);
    if (tries == 30) {
        std::fprintf(stderr, "%s gave no picture\n", qPrintable(road));
        return 1;
    }
    QList<qint64> times;
    for (int i = 0; i < runs; ++i) {
        const qint64 elapsed = triggerToOverlay(screenText, screens);
        if (elapsed < 0) {
            std::fprintf(stderr, "run %d: the overlay never showed\n", i);
            return 1;
        }
        times.append(elapsed);
    }
    std::sort(times.begin(), times.end());
    const QSize size = QGuiApplication::primaryScreen()->geometry().size();
    std::printf("%s, %d screen(s), %dx%d: trigger -> overlay shown median %lld ms, p90 %lld ms, max %lld ms\n",
                qPrintable(road), screens, size.width(), size.height(), times[runs / 2], times[runs * 9 / 10],
                times.last());
    Platform::install({});
    portal.kill();
    portal.waitForFinished();
    return 0;
}
