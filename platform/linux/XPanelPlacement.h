#pragma once

#include "platform/PanelPlacement.h"

// Panels on an X11 desktop: the application places them itself; a compositing manager is asked
// for by its selection (_NET_WM_CM_Sn) and KWin's blur by the property its blur effect
// announces on the root window. Uses Qt's own X connection, so it answers only when Qt runs on X.
class XPanelPlacement final : public PanelPlacement {
public:
    Backdrop backdrop(QWindow* window) override;
    bool clientPlaces() const override { return true; }
    std::optional<QPoint> origin(QWindow* window) override;
};
