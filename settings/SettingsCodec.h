#pragma once

#include <optional>

#include <QByteArray>

#include "settings/AppSettings.h"

// The JSON form of AppSettings: one object whose keys are the field names.
namespace SettingsCodec {

// Every key is optional and null means the default; a value of the wrong JSON type or text
// that is not a JSON object fails the whole decode. Unknown keys are ignored.
std::optional<AppSettings> decode(const QByteArray& json);

// Pretty-printed with sorted keys, so an unchanged record always gives the same bytes.
QByteArray encode(const AppSettings& settings);

// Moves the older single Doubao key and model into the per-provider maps when those have none.
void bringForwardDoubaoFields(AppSettings& settings);

}
