#pragma once

#include <optional>

#include <QString>

// The running applications, identified by process id.
class Workspace {
public:
    virtual ~Workspace() = default;

    // The application of the active window; nothing when no window is active.
    virtual std::optional<qint64> frontmostProcessId() = 0;
    // The name the desktop shows for the application; empty when unknown.
    virtual QString localizedName(qint64 pid) = 0;
    virtual bool isRunning(qint64 pid) = 0;
    // Whether the active window is a terminal, where Control+C interrupts instead of copying.
    virtual bool frontmostIsTerminal() = 0;
    // Whether the primary selection belongs to the application in front: a selection left behind
    // in another window is not the one the user means. Services that cannot tell say yes.
    virtual bool frontmostOwnsPrimary() { return true; }
    // Brings the application's window to the front; false when it has none.
    virtual bool activate(qint64 pid) = 0;
};
