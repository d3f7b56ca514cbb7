#pragma once

#include <functional>

class QObject;

// A part of the desktop that Quillo ships and the user turns on once, where the desktop lets no
// application do what Quillo needs (on GNOME, Quillo's Shell extension: the pointer, placing the
// panel, the shortcuts).
class DesktopHelper {
public:
    enum class State {
        none,    // this desktop needs no helper, or Quillo has none for it
        off,     // not running in this session: turned off, or turned on since the last login
        running, // in use
    };

    virtual ~DesktopHelper() = default;

    virtual State state() const = 0;
    // Turns the helper on for the next login; answers on the context's thread whether it took.
    virtual void turnOn(QObject* context, std::function<void(bool)> done) = 0;
};
