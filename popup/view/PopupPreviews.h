#pragma once

#include <QString>
#include <QStringList>

// Draws the popup in its characteristic states to PNG files ("popup-initial.png", …) in the
// directory, off-screen, with fixed sample content: the streamed states come from fixed
// fragments fed through the real session, with no engine and in a throw-away home, so the
// user's settings and knowledge stay untouched. Needs the application object. Returns the files
// written; a state that could not be drawn is missing from the list.
namespace PopupPreviews {

QStringList render(const QString& directory);

}
