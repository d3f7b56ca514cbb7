#pragma once

#include "platform/atspi/AtspiCalls.h"

// Finds the element of an application that holds the text the user works on: the focused one
// with the Text interface. Toolkits mark several elements focused at once (Qt: tabs, buttons,
// containers), so the one with a selection wins, then an editable one.
namespace AtspiFocus {

AtspiCalls::GRef<AtspiAccessible> applicationOf(qint64 pid);
// The process of the application whose window is ACTIVE: the one in front, where no window
// system can say (Wayland). Our own process is passed over: our panel may be active.
std::optional<qint64> activeApplicationProcess();
// Through Collection where the application offers it, else by a walk bounded in time.
AtspiCalls::GRef<AtspiAccessible> focusedText(AtspiAccessible* application);

}
