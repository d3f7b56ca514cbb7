#pragma once

// The X11 display of this session.
namespace X11Session {

// True when the display named by DISPLAY accepts a connection.
bool reachable();

}
