#include "app/Modes.h"
#include "app/commands/RunningInstance.h"

const Mode settingsMode = {AppObject::core, nullptr, "open the settings window of the running Quillo",
                           [](const QStringList&) { return sendToRunningInstance(SingleInstance::Command::settings); }};
