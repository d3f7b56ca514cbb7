#include "app/modes/Modes.h"

const Mode contextLivetestMode = {AppObject::none, nullptr, "run real prompts with context against the local engine ([cloud]: the cloud)", [](const QStringList&) { return reportUnavailable("CONTEXT_LIVETEST_FAIL"); }};
