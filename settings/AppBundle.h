#pragma once

#include <QString>

// Where the program's own resources live: share/quillo beside the bin/ directory of the running
// executable, the same in an installed prefix and in the build tree.
class AppBundle {
public:
    static QString resourceDir();

    // Points resourceDir() at another prefix's share/quillo for the rest of the process (tests
    // prepare a prefix with or without a built-in engine); an empty path restores the default.
    static void setResourceDir(const QString& dir);
};
