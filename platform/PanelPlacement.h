#pragma once

#include <optional>

#include <QPoint>

class QWindow;

// Where the floating panel goes on this desktop and how its background may be drawn. An X11
// window manager lets the application place its own windows; most Wayland compositors do not,
// so there the panel's window is named to the compositor, which puts it at the pointer.
class PanelPlacement {
public:
    // How the panel's rounded background shows over other windows.
    enum class Backdrop {
        shaped,  // no compositor: opaque, cut to its rounded shape
        rounded, // a compositor that does not blur: an opaque fill, transparent corners only
        glass,   // the compositor blurs what is behind: a translucent fill stays legible
    };

    virtual ~PanelPlacement() = default;

    // The panel is about to be shown: a window that must take a role before it is mapped takes it.
    virtual void aboutToShow(QWindow*) { }
    // Asked once per showing of a panel, before it is shown.
    virtual Backdrop backdrop(QWindow* window) = 0;
    // Whether moving the window ourselves puts it where asked (else the desktop places it).
    virtual bool clientPlaces() const = 0;
    // Whether a new panel opens next to the pointer, by our hand or by the compositor's.
    virtual bool opensAtPointer() const { return clientPlaces(); }
    // Where the window's top-left corner is on the desktop; nothing when only Qt's idea is known.
    virtual std::optional<QPoint> origin(QWindow* window) = 0;
    // The panel was just shown: a desktop that is told where to put windows is told now.
    virtual void shown(QWindow*) { }

    // The title of every panel window: what the compositor's rules recognise it by.
    static constexpr char panelTitle[] = "Quillo panel";
};
