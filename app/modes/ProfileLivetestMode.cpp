#include "app/modes/Modes.h"

const Mode profileLivetestMode = {AppObject::none, nullptr, "run a real profile generation (needs SELVANE_KNOWLEDGE_FILE and SELVANE_PROFILE_FILE)", [](const QStringList&) { return reportUnavailable("PROFILE_LIVETEST_FAIL"); }};
