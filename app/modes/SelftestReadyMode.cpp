#include "app/modes/Modes.h"

const Mode selftestReadyMode = {AppObject::none, nullptr, "check the engine-readiness decision", [](const QStringList&) { return reportUnavailable("READY_SELFTEST_FAIL"); }};
