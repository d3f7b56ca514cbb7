#include "app/Modes.h"

#include <map>
#include <memory>

#include <QEventLoop>
#include <QTimer>

#include "app/Out.h"
#include "core/HotKey.h"
#include "core/KeyFormatter.h"
#include "platform/PlatformServices.h"
#include "platform/linux/X11Session.h"

namespace {

// Combinations nobody is likely to hold, so the check neither fails on a desktop that uses the
// usual shortcuts nor disturbs a running Quillo: all four modifiers with F7, F8, F9.
constexpr quint32 probeModifiers =
    KeyFormatter::controlMask | KeyFormatter::optionMask | KeyFormatter::shiftMask | KeyFormatter::commandMask;
const std::map<quint32, quint32> probeKeys = {
    {HotKey::mainId, 98}, {HotKey::screenshotId, 100}, {HotKey::escapeId, 101}};

// The callbacks that ran since the last press.
struct Presses {
    QList<quint32> fired;
    QEventLoop loop;
    QTimer timeout;

    Presses()
    {
        timeout.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    }

    void record(quint32 id)
    {
        fired << id;
        loop.quit();
    }

    // Types the id's combination and waits for the first callback, at most the time given.
    QList<quint32> press(quint32 id, int waitMs)
    {
        fired.clear();
        Platform::services().keys->sendChord(probeKeys.at(id), probeModifiers);
        timeout.start(waitMs);
        loop.exec();
        return fired;
    }
};

int fail(const QString& isolation)
{
    out(QStringLiteral("HOTKEY_SELFTEST_FAIL: ") + isolation);
    return 1;
}

int run(const QStringList&)
{
    if (!X11Session::reachable())
        return fail(QStringLiteral("no X11 display to register global shortcuts on"));

    Presses presses;
    std::map<quint32, std::unique_ptr<HotKey>> hotKeys;
    for (const auto& [id, key] : probeKeys) {
        hotKeys[id] =
            std::make_unique<HotKey>(Shortcut{key, probeModifiers}, id, [id, &presses] { presses.record(id); });
        if (!hotKeys[id]->isRegistered())
            return fail(QStringLiteral("id %1 (%2) could not be registered")
                            .arg(id)
                            .arg(KeyFormatter::format(key, probeModifiers)));
    }
    out(QStringLiteral("registered ids 1, 2 and 3"));
    hotKeys.erase(HotKey::escapeId);
    out(QStringLiteral("released id 3"));

    for (const quint32 id : {HotKey::mainId, HotKey::screenshotId}) {
        const QList<quint32> reached = presses.press(id, 1000);
        if (reached != QList<quint32>{id})
            return fail(QStringLiteral("after releasing id 3, a press of id %1 reached %2")
                            .arg(id)
                            .arg(reached.isEmpty() ? QStringLiteral("no callback")
                                                   : QStringLiteral("the callback of id %1").arg(reached.first())));
        out(QStringLiteral("id %1 still fires").arg(id));
    }
    if (!presses.press(HotKey::escapeId, 300).isEmpty())
        return fail(QStringLiteral("id 3 still fired after it was released"));
    out(QStringLiteral("HOTKEY_SELFTEST_PASS"));
    return 0;
}

}

const Mode selftestHotkeyMode = {AppObject::desktop, nullptr,
                                 "check that the global shortcuts 1, 2 and 3 do not disturb each other", run};
