#pragma once

// Installs the X11 and AT-SPI services (and the session's key layout) for as long as the
// object lives. Needs the Qt application object: hot keys and focus events arrive through its
// event loop on the main thread.
class LinuxPlatform {
public:
    LinuxPlatform();
    ~LinuxPlatform();
    LinuxPlatform(const LinuxPlatform&) = delete;
    LinuxPlatform& operator=(const LinuxPlatform&) = delete;
};
