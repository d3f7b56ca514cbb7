#include "platform/wayland/LayerShellPlacement.h"

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <LayerShellQt/Window>

namespace {

constexpr int offset = 12;

}

LayerShellPlacement::LayerShellPlacement(PointerSource pointer)
    : m_pointer(std::move(pointer))
{
}

void LayerShellPlacement::aboutToShow(QWindow* window)
{
    // Before the window is shown: its surface takes the layer role when it is mapped.
    LayerShellQt::Window* layer = LayerShellQt::Window::get(window);
    layer->setLayer(LayerShellQt::Window::LayerOverlay);
    layer->setScope(QStringLiteral("quillo-panel"));
    layer->setAnchors({LayerShellQt::Window::AnchorTop, LayerShellQt::Window::AnchorLeft});
    layer->setKeyboardInteractivity(LayerShellQt::Window::KeyboardInteractivityOnDemand);
    const std::optional<QPoint> pointer = m_pointer();
    if (!pointer)
        return;
    if (QScreen* screen = QGuiApplication::screenAt(*pointer))
        window->setScreen(screen);
    const QPoint corner = cornerOnScreen(*pointer, window->screen()->geometry(), window->size());
    layer->setMargins(QMargins(corner.x(), corner.y(), 0, 0));
}

QPoint LayerShellPlacement::cornerOnScreen(QPoint pointer, QRect screen, QSize panel)
{
    const QPoint wanted = pointer - screen.topLeft() + QPoint(offset, offset);
    return {std::clamp(wanted.x(), 0, std::max(0, screen.width() - panel.width())),
            std::clamp(wanted.y(), 0, std::max(0, screen.height() - panel.height()))};
}
