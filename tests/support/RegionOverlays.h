#pragma once

#include <QApplication>
#include <QList>
#include <QWidget>
#include <QWindow>

// The screen-text overlays the desktop has put on screen, found by the name screen readers use.
inline QList<QWidget*> shownRegionOverlays()
{
    QList<QWidget*> shown;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->accessibleName() == QStringLiteral("screen region picker") && widget->isVisible()
            && widget->windowHandle() && widget->windowHandle()->isExposed())
            shown.append(widget);
    return shown;
}
