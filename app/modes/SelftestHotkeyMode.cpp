#include "app/modes/Modes.h"

const Mode selftestHotkeyMode = {AppObject::none, nullptr, "check that the global shortcuts 1, 2 and 3 do not disturb each other", [](const QStringList&) { return reportUnavailable("HOTKEY_SELFTEST_FAIL"); }};
