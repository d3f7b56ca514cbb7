#include "app/modes/Modes.h"

const Mode demoMode = {AppObject::none, nullptr, "open the demonstration window", [](const QStringList&) { return reportUnavailable("DEMO_FAIL"); }};
