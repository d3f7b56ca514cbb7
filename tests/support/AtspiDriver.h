#pragma once

#include <optional>

#include <QString>

// Drives other applications over AT-SPI as an assistive tool would, for the tests that run in a
// Wayland session (where no X tool reaches a window): whether an application's window is
// ACTIVE, and the text and selection of its first editable text element.
namespace AtspiDriver {

// Joins the session's accessibility bus; false when there is none.
bool join();
bool isActive(qint64 pid);
// The whole text of the application's first editable element; nothing while it has none.
std::optional<QString> editableText(qint64 pid);
// Selects [start, end) in that element (start == end collapses the selection to the caret).
bool select(qint64 pid, int start, int end);

}
