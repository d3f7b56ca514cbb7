#include "app/Modes.h"
#include "app/commands/RunningInstance.h"

const Mode triggerOCRMode = {
    AppObject::core, nullptr, "start a screenshot text grab in the running Quillo",
    [](const QStringList&) { return sendToRunningInstance(SingleInstance::Command::triggerOCR); }};
