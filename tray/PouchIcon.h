#pragma once

#include <QColor>
#include <QIcon>

// The tray's pouch: a filled bag, a rounded band across its neck and three small beads above it,
// drawn in code in one colour with a thin halo of the opposite brightness, so that it reads on
// light and dark panels alike.
namespace PouchIcon {

inline const QColor onDarkPanel{0xf2, 0xf2, 0xf2};

QIcon make(const QColor& color);
// The colour for a panel drawn with this palette's window colours (the desktop's theme).
QColor colorFor(const QPalette& palette);

}
