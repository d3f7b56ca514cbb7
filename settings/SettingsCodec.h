#pragma once

#include <optional>

#include <QByteArray>
#include <QStringList>

#include "settings/AppSettings.h"

// The JSON form of AppSettings: one object whose keys are the field names.
namespace SettingsCodec {

struct Decoded {
    AppSettings settings;
    // Settings whose stored value had the wrong type and were left at their default, in field
    // order; an entry of a map is named "map.entry" (for example "cloudKeys.openai").
    QStringList ignoredKeys;
};

// Field by field: every key is optional, null means the default, a value of the wrong JSON
// type leaves only its own field at the default. Unknown keys are ignored. Nothing when the
// text is not a JSON object.
std::optional<Decoded> decode(const QByteArray& json);

// Pretty-printed with sorted keys, so an unchanged record always gives the same bytes.
QByteArray encode(const AppSettings& settings);

// Moves the older single Doubao key and model into the per-provider maps when those have none.
void bringForwardDoubaoFields(AppSettings& settings);

}
