#pragma once

#include "app/Entry.h"

// Every command-line mode, one per file: the commands a user runs in app/commands/, the built-in
// checks in app/checks/. The checks are part of the product, not of its tests: installations and
// test desktops are judged by their verdict lines, so they ship in the binary, kept thin.

// Commands.
extern const Mode normalMode;
extern const Mode helpMode;
extern const Mode versionMode;
extern const Mode askMode;
extern const Mode triggerMode;
extern const Mode triggerOCRMode;
extern const Mode ocrMode;
extern const Mode settingsMode;
extern const Mode knowledgeMode;
extern const Mode quitMode;
extern const Mode demoMode;
// The tray's own child processes.
extern const Mode recognizeChildMode;

// Checks.
extern const Mode selftestHotkeyMode;
extern const Mode selftestOCRMode;
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
extern const Mode renderPreviewMode;
extern const Mode probeSelectionMode;
