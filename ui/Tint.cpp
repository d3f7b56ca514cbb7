#include "ui/Tint.h"

namespace Tints {

bool isDark(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor color(Tint tint, bool dark)
{
    switch (tint) {
    case Tint::label: return dark ? QColor(255, 255, 255, 217) : QColor(0, 0, 0, 217);
    case Tint::secondaryLabel: return dark ? QColor(235, 235, 245, 153) : QColor(60, 60, 67, 153);
    case Tint::tertiaryLabel: return dark ? QColor(235, 235, 245, 110) : QColor(60, 60, 67, 110);
    case Tint::green: return dark ? QColor(48, 209, 88) : QColor(36, 138, 61);
    case Tint::orange: return dark ? QColor(255, 159, 10) : QColor(201, 52, 0);
    case Tint::red: return dark ? QColor(255, 69, 58) : QColor(215, 0, 21);
    case Tint::yellow: return dark ? QColor(255, 214, 10) : QColor(160, 110, 0);
    case Tint::blue:
    case Tint::accent: return dark ? QColor(10, 132, 255) : QColor(0, 100, 210);
    }
    return {};
}

} // namespace Tints
