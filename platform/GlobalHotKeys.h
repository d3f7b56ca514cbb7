#pragma once

#include <functional>

#include <QString>
#include <QtGlobal>

// Key combinations taken for the whole desktop session. Key codes and modifier masks are the
// stored ones: positional key codes and Carbon masks.
class GlobalHotKeys {
public:
    using PressedHandler = std::function<void(quint32 id)>;

    // How the user's shortcuts reach us on this desktop.
    struct Road {
        enum class Kind {
            keyGrab,        // we take the keys ourselves
            portalPending,  // the desktop's shortcut service is being asked
            portalBound,    // the desktop holds the shortcuts for us
            desktopBinding, // the user binds `quillo --trigger` in the desktop's settings
            shellHelper,    // Quillo's GNOME Shell extension takes the keys for us
        };
        Kind kind = Kind::keyGrab;
        QString trigger; // portalBound: the desktop's words for the main shortcut; may be empty
        bool operator==(const Road&) const = default;
    };

    virtual ~GlobalHotKeys() = default;

    // Takes the combination and reports its presses under id. Answers at once: false when another
    // client holds the combination, this process holds it already, or the keyboard has no such key.
    virtual bool grab(quint32 keyCode, quint32 modifiers, quint32 id) = 0;
    virtual void ungrab(quint32 keyCode, quint32 modifiers) = 0;

    // Called on the main thread once per press, when the key comes up again (auto-repeat ignored),
    // so whatever the handler sends to other applications no longer collides with our grab.
    virtual void setPressedHandler(PressedHandler handler) = 0;

    virtual Road road() const { return {}; }
    // Called on the main thread whenever road() changes.
    virtual void setRoadChangedHandler(std::function<void()>) { }
};
