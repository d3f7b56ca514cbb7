#include "capture/PutBack.h"

#include <chrono>
#include <thread>

#include "core/KeyFormatter.h"

namespace {

constexpr auto pasteDelay = std::chrono::milliseconds(40);

}

PutBack::Outcome PutBack::apply(const PlatformServices& platform, std::optional<qint64> targetPid, const QString& text,
                                bool userAllowsKeys)
{
    if (text.isEmpty())
        return Outcome::nothing;
    platform.clipboard->setText(text);
    if (targetPid && platform.workspace->isRunning(*targetPid))
        platform.workspace->activate(*targetPid);
    if (platform.accessibility->setSelectedText(text))
        return Outcome::replaced;
    // Such keys land wherever the focus is: never without knowing where it should be.
    if (platform.keys->needsLeave())
        return userAllowsKeys && targetPid ? Outcome::pasteOnceBack : Outcome::copiedOnly;
    if (!platform.keys->canSend())
        return Outcome::copiedOnly;
    std::this_thread::sleep_for(pasteDelay);
    return platform.keys->sendChord(vKey, KeyFormatter::controlMask) ? Outcome::pasted : Outcome::copiedOnly;
}
