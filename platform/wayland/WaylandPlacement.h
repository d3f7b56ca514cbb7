#pragma once

#include "platform/PanelPlacement.h"

// Panels on a Wayland compositor that is not told anything: it places them itself (on the
// screen it chooses) and, compositing always, draws their transparent corners. Moving a
// toplevel from the client does nothing there, so the panel never tries.
class WaylandPlacement : public PanelPlacement {
public:
    Backdrop backdrop(QWindow*) override { return Backdrop::rounded; }
    bool clientPlaces() const override { return false; }
    std::optional<QPoint> origin(QWindow*) override { return std::nullopt; }
};
