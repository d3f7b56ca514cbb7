#pragma once

#include <QString>

#include "core/KeyFormatter.h"

// The names of word keys (Return, Space, Backspace) in the interface's language, for
// KeyFormatter::setWordNames: the core cannot reach the interface texts itself.
QString interfaceKeyName(KeyFormatter::WordKey key);
