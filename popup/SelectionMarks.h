#pragma once

#include <QString>

// Removes the 《》 that a model sometimes copies from the context prompt around its whole
// answer: every enclosing pair, and a lone leading or trailing mark without its partner.
// Marks inside the text are kept, also book titles at its very start and end (《甲》和《乙》).
// The result is trimmed.
QString stripSelectionMarks(const QString& answer);
