#pragma once

#include "tray/SingleInstance.h"

// Hands the command to the Quillo running in this session; 0 once delivered, else 1 with one line
// telling why it could not be.
int sendToRunningInstance(SingleInstance::Command command);
