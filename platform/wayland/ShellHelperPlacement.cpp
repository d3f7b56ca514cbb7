#include "platform/wayland/ShellHelperPlacement.h"

#include <QCoreApplication>

#include "platform/wayland/ShellHelper.h"

void ShellHelperPlacement::shown(QWindow*)
{
    ShellHelper::pointer(this, [this](std::optional<QPoint> pointer) {
        if (!pointer)
            return;
        ShellHelper::placeWindow(QCoreApplication::applicationPid(), QString::fromLatin1(panelTitle),
                                 *pointer + QPoint(pointerOffset, pointerOffset), screenMargin, this,
                                 [](std::optional<QPoint>) {});
    });
}
