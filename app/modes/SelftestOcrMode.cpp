#include "app/modes/Modes.h"

const Mode selftestOcrMode = {AppObject::none, nullptr, "check screen text recognition", [](const QStringList&) { return reportUnavailable("OCR_SELFTEST_FAIL"); }};
