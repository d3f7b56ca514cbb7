#include "app/modes/Modes.h"

const Mode normalMode = {AppObject::none, nullptr, "start the tray application", [](const QStringList&) { return reportUnavailable("QUILLO_FAIL"); }};
