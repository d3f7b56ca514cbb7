#include "app/modes/Modes.h"

const Mode selftestE2eMode = {AppObject::none, nullptr, "drive the action popup end to end on a throw-away knowledge file", [](const QStringList&) { return reportUnavailable("E2E_SELFTEST_FAIL"); }};
