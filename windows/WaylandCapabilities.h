#pragma once

#include <QList>
#include <QString>

#include "core/Shortcut.h"
#include "platform/DesktopHelper.h"
#include "platform/GlobalHotKeys.h"
#include "platform/ScreenImages.h"
#include "platform/Session.h"

// What works for Quillo on a Wayland desktop and the one thing that fixes what does not: the
// rows of the settings' Wayland block, and the binding a user adds where the desktop offers no
// shortcut service (the one-time guide shows it too).
namespace WaylandCapabilities {

using Desktop = Session::Desktop;

struct Facts {
    Desktop desktop = Desktop::other;
    GlobalHotKeys::Road shortcutRoad;
    Shortcut mainShortcut;
    bool readsSelections = false; // the desktop's accessibility switch is on
    bool panelAtPointer = false;
    DesktopHelper::State helper = DesktopHelper::State::none;
    bool trayShown = false;
    ScreenImages::Road screenRoad = ScreenImages::Road::none;
    ScreenImages::State screenState = ScreenImages::State::untried;
    bool keysOffered = false; // a virtual keyboard or the desktop's portal may type for us
    bool pasteForMe = false;  // and the user lets us
};

enum class Fix { none, copy, turnOnAccessibility, allowScreen, tryScreen, retryScreen, turnOnHelper };

struct Row {
    const char* nameKey; // the row's label in the interface texts
    QString state;
    QString action;   // what the user does; empty when all is well
    QString copyText; // the exact text to copy for Fix::copy
    Fix fix = Fix::none;
    bool works = false;
};

// Shortcut, reading selections, placement, tray, screen text and pasting, in that order.
QList<Row> rows(const Facts& facts);
// The screen-text row alone, for the guide: what to allow and where, from the road the
// desktop's picture takes and what it said last.
Row screenTextRow(const Facts& facts);
// The shortcut row alone, for the guide.
Row shortcutRow(const Facts& facts);
// Whether Quillo types Control+V after a replacement accessibility refused, or only copies.
Row pasteRow(const Facts& facts);

// The line for the desktop's configuration file (sway, Hyprland), or the command to bind in its
// keyboard settings (others). On Hyprland with the desktop's shortcut service the line names
// our shortcut there, as that desktop binds nothing by itself.
QString binding(Desktop desktop, Shortcut shortcut, bool portalSession);

}
