#pragma once

// What the session's compositor offers, asked on a short connection of our own.
namespace WaylandGlobals {

// Whether the compositor announces the global interface of that name.
bool offered(const char* interface);

}
