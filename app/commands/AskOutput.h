#pragma once

#include <QString>

// Where `quillo --ask` writes: the answer to standard output, notes and failures to standard
// error, at once. Text bound for a terminal loses its control characters (line feeds and tabs
// excepted), so an answer cannot move the cursor, retitle the window or write the clipboard with
// escape sequences; a pipe or a file gets the text as it came.
namespace AskOutput {

void answer(const QString& text);
void note(const QString& line); // a line feed is appended

// The text without C0 and C1 control characters and DEL, line feeds and tabs kept.
QString withoutControls(const QString& text);

}
