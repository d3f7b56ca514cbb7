#pragma once

#include <QString>

// Where the program's own resources live: share/quillo beside the bin/ directory of the running
// executable, the same in an installed prefix and in the build tree.
class AppBundle {
public:
    static QString resourceDir();

    // The address of `symbol` in `fileName`, a module in the program's private library directory
    // (lib/quillo/modules beside bin/), loaded at its first use and never unloaded: Tesseract, OpenMP and
    // PulseAudio cannot be unloaded safely. Null, with a warning naming the cause, when the module
    // cannot be loaded or lacks the symbol.
    static void* moduleSymbol(const char* fileName, const char* symbol);

    // Points resourceDir() at another prefix's share/quillo for the rest of the process (tests
    // prepare a prefix with or without a built-in engine); an empty path restores the default.
    static void setResourceDir(const QString& dir);
};
