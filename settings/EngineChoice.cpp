#include "settings/EngineChoice.h"

namespace EngineChoices {

std::optional<EngineChoice> parse(const QString& word)
{
    if (word == stored(EngineChoice::local))
        return EngineChoice::local;
    if (word == stored(EngineChoice::cloud))
        return EngineChoice::cloud;
    return std::nullopt;
}

EngineChoice fromStored(const QString& word)
{
    return parse(word).value_or(EngineChoice::cloud);
}

QString stored(EngineChoice choice)
{
    return choice == EngineChoice::local ? QStringLiteral("local") : QStringLiteral("cloud");
}

}
