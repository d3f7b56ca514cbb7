#include "ui/ScreenPlacement.h"

#include <algorithm>

namespace ScreenPlacement {

QPoint clampInto(QPoint topLeft, QSize size, QRect area)
{
    const int minX = area.x() + edgeMargin;
    const int minY = area.y() + edgeMargin;
    const int maxX = area.x() + area.width() - size.width() - edgeMargin;
    const int maxY = area.y() + area.height() - size.height() - edgeMargin;
    return {std::max(minX, std::min(topLeft.x(), maxX)), std::max(minY, std::min(topLeft.y(), maxY))};
}

QPoint openAt(QPoint pointer, const QList<Screen>& screens, QSize size)
{
    if (screens.isEmpty())
        return pointer;
    const auto under = std::find_if(screens.cbegin(), screens.cend(),
                                    [pointer](const Screen& s) { return s.frame.contains(pointer); });
    const Screen& screen = under != screens.cend() ? *under : screens.first();
    return clampInto(pointer + QPoint(pointerOffset, pointerOffset), size, screen.available);
}

QPoint keptOnScreen(QRect panel, const QList<Screen>& screens)
{
    if (screens.isEmpty())
        return panel.topLeft();
    const auto overlapping =
        std::find_if(screens.cbegin(), screens.cend(), [panel](const Screen& s) { return s.frame.intersects(panel); });
    const Screen& screen = overlapping != screens.cend() ? *overlapping : screens.first();
    return clampInto(panel.topLeft(), panel.size(), screen.available);
}

}
