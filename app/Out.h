#pragma once

#include <QString>

// Writes one line (UTF-8, line feed appended) to standard output at once, unbuffered, so the
// lines of a long command-line mode appear while it runs.
void out(const QString& line);

// Writes text to standard output as it is (UTF-8, nothing appended), unbuffered: for an answer
// that arrives in pieces.
void outText(const QString& text);

// Writes one line to standard error, unbuffered.
void outError(const QString& line);
