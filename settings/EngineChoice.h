#pragma once

#include <optional>

#include <QString>

// Which engine answers an action: the local one or the cloud.
enum class EngineChoice { local, cloud };

namespace EngineChoices {

// The choice a word names exactly ("local" or "cloud"), none for any other word.
std::optional<EngineChoice> parse(const QString& word);
// The choice as config.json keeps it. Any word but "local" has always meant the cloud there, so
// files written by hand or by older versions keep meaning what they meant.
EngineChoice fromStored(const QString& word);
QString stored(EngineChoice choice);

}
