#pragma once

#include <functional>

// Runs the Qt event loop until the condition holds or the time is up; returns the condition.
bool processEventsUntil(const std::function<bool()>& condition, int timeoutMs = 5000);

// Runs the Qt event loop for the given time.
void processEventsFor(int milliseconds);
