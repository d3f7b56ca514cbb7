// Time from the shortcut to the panel mapped at the pointer on sway: the tray application on
// Qt's Wayland platform, mousepad in front with a phrase selected, the shortcut pressed through
// the desktop's portal (the fake one of the tests), the clock stopped once sway has the panel
// floating and centred on the pointer. Escape closes it between rounds. Prints the median of
// 20 after a first, unmeasured round. Run it in the session:
//   tests/support/in-wayland.sh sway build/bin/bench_wayland_panel
#include <algorithm>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include "settings/HomeDir.h"
#include "settings/UserFlags.h"
#include "tests/support/AtspiDriver.h"
#include "tests/support/CompositorWindows.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

namespace {

constexpr int samples = 20;
constexpr int waitMs = 30000;
const QPoint pointer(300, 250);
const QString document = QStringLiteral("Quillo reads selected words on Wayland.");

bool fail(const char* what)
{
    std::fprintf(stderr, "%s (run this in tests/support/in-wayland.sh sway)\n", what);
    return false;
}

// The portal's test hook sends the shortcut's activation; not waited for, the clock runs from here.
void pressShortcut()
{
    QDBusMessage press = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                                        QStringLiteral("/org/quillo/TestHook"),
                                                        QStringLiteral("org.quillo.TestHook"), QStringLiteral("Press"));
    press.setArguments({QStringLiteral("popup")});
    QDBusConnection::sessionBus().send(press);
}

class Rig {
public:
    bool start()
    {
        if (!AtspiDriver::join())
            return fail("no accessibility bus");
        writeFile(HomeDir::dataDir() + QStringLiteral("/onboarded"), "1");
        for (const char* flag : {"noTrayNotified", "shortcutBindingGuideShown", UserFlags::upgradeAXPrompted})
            UserFlags::set(flag, true);
        const QString path = m_files.filePath(QStringLiteral("doc.txt"));
        const QString portalLog = m_files.filePath(QStringLiteral("portal.log"));
        QProcess* editor =
            writeFile(path, document.toUtf8()) ? m_session.start(QStringLiteral("mousepad"), {path}) : nullptr;
        m_editor = editor ? editor->processId() : 0;
        if (!m_editor || !processEventsUntil([&] { return AtspiDriver::isActive(m_editor); }, waitMs))
            return fail("mousepad did not come up in front");
        if (!m_session.start(QStringLiteral("/usr/bin/python3"),
                             {QStringLiteral(QUILLO_TESTS_DIR "/support/fake_portal.py"), portalLog})
            || !processEventsUntil([&] { return readFile(portalLog).contains("fake portal up"); }, waitMs))
            return fail("the fake portal did not start");
        QProcessEnvironment env;
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        QProcess* quillo = m_session.start(quilloBinary(), {}, env);
        m_quillo = quillo ? quillo->processId() : 0;
        if (!m_quillo
            || !processEventsUntil([&] { return readFile(portalLog).contains("BindShortcuts popup="); }, waitMs))
            return fail("Quillo did not bind its shortcut through the portal");
        if (!processEventsUntil([&] { return AtspiDriver::isActive(m_editor); }, waitMs)
            || !AtspiDriver::select(m_editor, 7, 21) || !CompositorWindows::movePointer(pointer))
            return fail("the selection or the pointer could not be set");
        return true;
    }

    // One shortcut press to the panel at the pointer, in ms; negative when it never got there.
    double round()
    {
        QElapsedTimer clock;
        clock.start();
        pressShortcut();
        const bool placed = processEventsUntil(
            [&] {
                const std::optional<CompositorWindows::Window> panel =
                    CompositorWindows::find(m_quillo, QStringLiteral("Quillo panel"));
                return panel && panel->floating && (panel->rect.center() - pointer).manhattanLength() <= 2;
            },
            waitMs);
        const double ms = clock.nsecsElapsed() / 1e6;
        const bool closed = CompositorWindows::tapEscape()
            && processEventsUntil(
                                [&] {
                                    return !CompositorWindows::find(m_quillo, QStringLiteral("Quillo panel"))
                                        && AtspiDriver::isActive(m_editor);
                                },
                                waitMs);
        return placed && closed ? ms : -1;
    }

private:
    DesktopSession m_session;
    QTemporaryDir m_files;
    qint64 m_editor = 0;
    qint64 m_quillo = 0;
};

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Rig rig;
    if (!rig.start() || rig.round() < 0)
        return 1;
    std::vector<double> times;
    for (int i = 0; i < samples; ++i) {
        const double ms = rig.round();
        if (ms < 0) {
            fail("a panel did not open at the pointer or did not close");
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("shortcut → panel mapped at the pointer on sway, median of %d: %.1f ms (fastest %.1f, slowest %.1f)\n",
                samples, (times[samples / 2 - 1] + times[samples / 2]) / 2, times.front(), times.back());
    return 0;
}
