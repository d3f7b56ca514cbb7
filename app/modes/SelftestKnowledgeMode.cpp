#include "app/modes/Modes.h"

const Mode selftestKnowledgeMode = {AppObject::none, nullptr, "check the knowledge store on a throw-away file", [](const QStringList&) { return reportUnavailable("KNOWLEDGE_SELFTEST_FAIL"); }};
