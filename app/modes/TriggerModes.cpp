#include "app/modes/Modes.h"

#include "app/Out.h"
#include "tray/SingleInstance.h"

namespace {

template <SingleInstance::Command command>
int sendToRunningInstance(const QStringList&)
{
    switch (SingleInstance::send(command)) {
    case SingleInstance::Delivery::delivered: return 0;
    case SingleInstance::Delivery::notRunning:
        out(QStringLiteral("quillo: Quillo is not running in this session (start it with `quillo`)"));
        break;
    case SingleInstance::Delivery::notAnswering:
        // The call stays queued: a stopped instance that is continued still carries it out.
        out(QStringLiteral("quillo: Quillo is running but not answering (stopped or busy); it may still carry this out "
                           "when it resumes"));
        break;
    case SingleInstance::Delivery::unreachable:
        out(QStringLiteral("quillo: Quillo is running, but not on this session bus, so it cannot be reached"));
        break;
    }
    return 1;
}

}

const Mode triggerMode = {AppObject::core, nullptr,
                          "open the popup for the current selection in the running Quillo (bind it to a desktop "
                          "shortcut where Quillo cannot grab one, e.g. Wayland)",
                          sendToRunningInstance<SingleInstance::Command::trigger>};
const Mode triggerOcrMode = {AppObject::core, nullptr, "start a screenshot text grab in the running Quillo",
                             sendToRunningInstance<SingleInstance::Command::triggerOcr>};
const Mode settingsMode = {AppObject::core, nullptr, "open the settings window of the running Quillo",
                           sendToRunningInstance<SingleInstance::Command::settings>};
const Mode knowledgeMode = {AppObject::core, nullptr, "open the knowledge window of the running Quillo",
                            sendToRunningInstance<SingleInstance::Command::knowledge>};
const Mode quitMode = {AppObject::core, nullptr, "quit the running Quillo and wait until it has ended",
                       sendToRunningInstance<SingleInstance::Command::quit>};
