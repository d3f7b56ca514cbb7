#include "app/modes/Modes.h"

const Mode renderPreviewMode = {AppObject::none, "DIR", "render the interface states to PNG files in DIR", [](const QStringList&) { return reportUnavailable("RENDER_PREVIEW_FAIL"); }};
