#include "app/Modes.h"
#include "app/commands/RunningInstance.h"

const Mode knowledgeMode = {
    AppObject::core, nullptr, "open the knowledge window of the running Quillo",
    [](const QStringList&) { return sendToRunningInstance(SingleInstance::Command::knowledge); }};
