#include "app/modes/Modes.h"

const Mode selftestProfileMode = {AppObject::none, nullptr, "check the profile rules on throw-away files", [](const QStringList&) { return reportUnavailable("PROFILE_SELFTEST_FAIL"); }};
