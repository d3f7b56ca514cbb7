#pragma once

#include <QString>

// Writes one line (UTF-8, line feed appended) to standard output at once, unbuffered, so the
// lines of a long command-line mode appear while it runs.
void out(const QString& line);
