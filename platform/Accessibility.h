#pragma once

#include <optional>

#include <QString>

// The accessibility service, asked about the element that has the keyboard focus in the
// frontmost application. Main thread only. Offsets and lengths are UTF-16 units.
class Accessibility {
public:
    struct Range {
        qsizetype location = 0;
        qsizetype length = 0;
    };

    virtual ~Accessibility() = default;

    // Whether the selection services of this session can be used at all.
    virtual bool isTrusted() = 0;
    // Nothing when no focused element with text can be asked; an empty text when the focused
    // element has nothing selected (then nothing is, whatever an older selection elsewhere says).
    virtual std::optional<QString> selectedText() = 0;
    // The element's whole text; nothing when it is longer than maxLength.
    virtual std::optional<QString> value(qsizetype maxLength) = 0;
    virtual std::optional<Range> selectedRange() = 0;
    // Replaces the selection (or inserts at the caret). True only when the element's text shows
    // the change: false when it is not editable or ignored the edit, and the caller pastes instead.
    virtual bool setSelectedText(const QString& text) = 0;

    // The session's accessibility switch. While it is off, toolkits that wait for it (Qt 6) keep
    // their text to themselves. Services without such a switch report it off.
    virtual bool sessionSwitchOn() { return false; }
    // Turns the switch on for this session and, where the desktop stores it (GNOME), for later
    // ones; applications started afterwards expose their text. False when it could not be set.
    virtual bool turnOnSessionSwitch() { return false; }
    // Starts the accessibility bus unless it runs already, so that applications started from now
    // on join it (Qt 5 looks for it only once, at its start). Called once at launch.
    virtual void ensureBusRunning() { }
};
