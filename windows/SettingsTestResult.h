#pragma once

#include <QString>

#include "engines/chat/ChatResult.h"

// The line the settings window shows for a failed connection test: the localisation key of one
// of a few short texts that tell the user what to fix.
namespace SettingsTestResult {

const char* failKey(const ChatFailure& failure);

}
