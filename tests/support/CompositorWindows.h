#pragma once

#include <optional>

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

// The windows of the private sway, KWin or GNOME Shell session a test or benchmark runs in
// (tests/support/in-wayland.sh), as the compositor has them, and input sent through the
// compositor the way a user's would arrive: what no client can see or do by itself on Wayland.
namespace CompositorWindows {

struct Window {
    QRect rect;
    bool floating = false;  // sway: out of the tiling
    bool keptAbove = false; // KWin: above the other windows; sway: on every workspace (sticky)
};

// The window of the process with that title; nothing while none is mapped.
std::optional<Window> find(qint64 pid, const QString& title);
// The whole desktop as shown, layer surfaces included, which sway lists nowhere: through grim
// (wlroots' screen copy) on sway; nothing on the other compositors.
std::optional<QImage> screenshot();
bool movePointer(QPoint to);
bool tapEscape();
// GNOME Shell only: taps the key of that keysym.
bool tapShellKey(uint keysym);

}
