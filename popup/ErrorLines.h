#pragma once

#include <QString>

#include "engines/chat/ChatResult.h"

// Every failure of an engine call becomes one short localised line; the raw error text
// is never shown. Cancellation is never humanised: it is silent.
namespace ErrorLines {

// The localisation key of the line for a failure: err.network, err.timeout, err.certificate,
// err.cloudAuth, err.cloudRateLimit, err.cloudOther, err.ollamaNotRunning, err.ollamaNotAnswering,
// err.qwenOther, err.cutOff or err.unknown.
const char* humanizeKey(const ChatFailure& failure);

// The line itself, in the interface language.
QString humanize(const ChatFailure& failure);

// Whether a text (any case) reads like a refused key, or like a rate limit or an empty balance.
bool looksLikeAuth(const QString& text);
bool looksLikeRateLimit(const QString& text);

}
