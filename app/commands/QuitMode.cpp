#include "app/Modes.h"
#include "app/commands/RunningInstance.h"

const Mode quitMode = {AppObject::core, nullptr, "quit the running Quillo and wait until it has ended",
                       [](const QStringList&) { return sendToRunningInstance(SingleInstance::Command::quit); }};
