#include "app/Modes.h"
#include "app/commands/RunningInstance.h"

const Mode triggerMode = {AppObject::core, nullptr,
                          "open the popup for the current selection in the running Quillo (bind it to a desktop "
                          "shortcut where Quillo cannot grab one, e.g. Wayland)",
                          [](const QStringList&) { return sendToRunningInstance(SingleInstance::Command::trigger); }};
