#pragma once

class QGridLayout;

// The settings' section on a Wayland desktop: one row per capability with its state, what fixes
// it and, where one action does, its button (copy the binding, turn on accessibility). Built
// from the running services; adds nothing outside a Wayland session.
namespace WaylandBlock {

void add(QGridLayout* grid, int& row);

}
