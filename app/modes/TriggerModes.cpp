#include "app/modes/Modes.h"

#include "app/Out.h"
#include "tray/SingleInstance.h"

namespace {

template<SingleInstance::Command command>
int sendToRunningInstance(const QStringList&)
{
    if (SingleInstance::send(command))
        return 0;
    out(QStringLiteral("quillo: Quillo is not running in this session (start it with `quillo`)"));
    return 1;
}

}

const Mode triggerMode = {AppObject::core, nullptr, "open the popup for the current selection in the running Quillo (bind it to a desktop shortcut where Quillo cannot grab one, e.g. Wayland)",
                          sendToRunningInstance<SingleInstance::Command::trigger>};
const Mode triggerOcrMode = {AppObject::core, nullptr, "start a screenshot text grab in the running Quillo",
                             sendToRunningInstance<SingleInstance::Command::triggerOcr>};
const Mode settingsMode = {AppObject::core, nullptr, "open the settings window of the running Quillo",
                           sendToRunningInstance<SingleInstance::Command::settings>};
const Mode knowledgeMode = {AppObject::core, nullptr, "open the knowledge window of the running Quillo",
                            sendToRunningInstance<SingleInstance::Command::knowledge>};
const Mode quitMode = {AppObject::core, nullptr, "quit the running Quillo and wait until it has ended",
                       sendToRunningInstance<SingleInstance::Command::quit>};
