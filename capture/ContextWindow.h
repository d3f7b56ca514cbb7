#pragma once

#include "capture/SelectionCapture.h"

// Shortens the context until both sides together hold at most `limit` characters (grapheme
// clusters): the longer side gives first, `before` from its start and `after` from its end, so
// what stays is the text next to the selection.
void capContextCharacters(SelectionCapture::Context& context, qsizetype limit);
