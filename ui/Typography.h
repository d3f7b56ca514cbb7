#pragma once

#include <QFont>

// The interface's fonts. Sizes are pixel sizes times the user's font scale, so a 13 px text at
// scale 1.45 is 18.85 px. Chinese comes first in the family list, so Han characters take their
// Simplified Chinese shapes and never fall back to a Japanese or bitmap font.
namespace Typography {

QFont font(qreal pixelSize, qreal fontScale, QFont::Weight weight = QFont::Normal);

} // namespace Typography
