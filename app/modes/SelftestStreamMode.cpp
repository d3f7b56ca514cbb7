#include "app/modes/Modes.h"

const Mode selftestStreamMode = {AppObject::none, nullptr, "check the stream parsers of both engines", [](const QStringList&) { return reportUnavailable("STREAM_SELFTEST_FAIL"); }};
