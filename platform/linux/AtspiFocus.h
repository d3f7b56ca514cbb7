#pragma once

#include "platform/linux/AtspiCalls.h"

// Finds the element of an application that holds the text the user works on: the focused one
// with the Text interface. Toolkits mark several elements focused at once (Qt: tabs, buttons,
// containers), so the one with a selection wins, then an editable one.
namespace AtspiFocus {

AtspiCalls::GRef<AtspiAccessible> applicationOf(qint64 pid);
// Through Collection where the application offers it, else by a walk bounded in time.
AtspiCalls::GRef<AtspiAccessible> focusedText(AtspiAccessible* application);

}
