#pragma once

// The accessibility bus of the session, through its launcher on the session bus
// (org.a11y.Bus). Every call is bounded in time and fails quietly without a session bus.
namespace AtspiBus {

// Whether this process has a session bus to ask; without one, asking would start a stray one.
bool sessionBusKnown();
// Asking for the bus's address makes the launcher start it; false when there is no launcher.
bool ensureRunning();
// The launcher's IsEnabled switch.
bool isEnabled();
// Sets IsEnabled and, on GNOME, the toolkit-accessibility setting that keeps it on in later
// sessions. True when the switch is on afterwards.
bool enable();

}
