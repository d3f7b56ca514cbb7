#include "app/modes/Modes.h"

const Mode selftestContextMode = {AppObject::none, nullptr, "check the context window and mark stripping", [](const QStringList&) { return reportUnavailable("CONTEXT_SELFTEST_FAIL"); }};
