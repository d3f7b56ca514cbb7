#pragma once

#include <algorithm>
#include <chrono>

#include "settings/AppSettings.h"

// The longest one answer may take from its request on, keep-alives or not: the settings'
// answerDeadlineSeconds, never less than a second.
inline std::chrono::milliseconds answerDeadline(const AppSettings& settings)
{
    return std::chrono::seconds(std::max<quint32>(1, settings.answerDeadlineSeconds));
}
