#pragma once

#include <QFont>

// The interface's fonts. Sizes are pixel sizes times the user's font scale, so a 13 px text at
// scale 1.45 is 18.85 px. Han characters always take their Simplified Chinese shapes (never a
// Japanese or bitmap fallback): the Chinese interface lists Noto Sans CJK SC first; the English
// one lists a Latin face first, so punctuation such as curly quotes keeps its Latin width, with
// Noto Sans CJK SC right behind it for any Chinese text.
namespace Typography {

// The installed Latin face (no Han in it) the English interface draws with: Noto Sans, else the
// desktop's default sans, else another Latin sans. Call with the application object present.
QString latinFamily();

QFont font(qreal pixelSize, qreal fontScale, QFont::Weight weight = QFont::Normal);

} // namespace Typography
