#pragma once

#include <QColor>
#include <QPalette>

// The named colours the interface speaks of (status lines, headlines, hints), each with a light
// and a dark variant, so that both palettes stay readable.
enum class Tint { label, secondaryLabel, tertiaryLabel, green, orange, red, yellow, blue, accent };

namespace Tints {

// Whether the palette's window colour is dark.
bool isDark(const QPalette& palette);
QColor color(Tint tint, bool dark);

} // namespace Tints
