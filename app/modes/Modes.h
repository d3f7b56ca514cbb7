#pragma once

#include "app/Entry.h"

// Every command-line mode, one per file in this folder.
extern const Mode helpMode;
extern const Mode versionMode;
extern const Mode selftestHotkeyMode;
extern const Mode selftestOcrMode;
extern const Mode selftestKnowledgeMode;
extern const Mode selftestSemanticMode;
extern const Mode selftestHomedirMode;
extern const Mode selftestReadyMode;
extern const Mode selftestStreamMode;
extern const Mode selftestProfileMode;
extern const Mode selftestContextMode;
extern const Mode contextLivetestMode;
extern const Mode profileLivetestMode;
extern const Mode selftestE2eMode;
extern const Mode selftestPullMode;
extern const Mode checkAxMode;
extern const Mode demoMode;
extern const Mode renderPreviewMode;
extern const Mode probeSelectionMode;
extern const Mode askMode;
extern const Mode triggerMode;
extern const Mode triggerOcrMode;
extern const Mode settingsMode;
extern const Mode knowledgeMode;
extern const Mode quitMode;
extern const Mode normalMode;
