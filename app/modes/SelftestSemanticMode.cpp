#include "app/modes/Modes.h"

const Mode selftestSemanticMode = {AppObject::none, nullptr, "check semantic recall", [](const QStringList&) { return reportUnavailable("SEMANTIC_SELFTEST_FAIL"); }};
