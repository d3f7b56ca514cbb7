#include "platform/linux/X11Session.h"

#include <X11/Xlib.h>

namespace X11Session {

bool reachable()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

}
