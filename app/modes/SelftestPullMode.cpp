#include "app/modes/Modes.h"

const Mode selftestPullMode = {AppObject::none, "[MODEL]", "pull a model into the built-in engine and run one answer", [](const QStringList&) { return reportUnavailable("PULL_SELFTEST_FAIL"); }};
