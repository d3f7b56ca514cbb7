#pragma once

#include <atomic>
#include <functional>
#include <optional>

#include "platform/Workspace.h"

// The running applications of a Wayland session. No window system tells a client which window
// is active, so the compositor is asked where it answers (sway's tree, Hyprland's active
// window), and otherwise the application whose window is ACTIVE over AT-SPI is in front.
// Windows cannot be raised by a client. frontmostProcessId() on the main thread (it may ask
// AT-SPI); the rest from any thread.
class WaylandWorkspace final : public Workspace {
public:
    using CompositorFocus = std::function<std::optional<qint64>()>;

    // compositorFocus may be empty: the compositor cannot be asked.
    explicit WaylandWorkspace(CompositorFocus compositorFocus);

    std::optional<qint64> frontmostProcessId() override;
    QString localizedName(qint64 pid) override;
    bool isRunning(qint64 pid) override;
    // The compositor's focus where it tells, else the application found in front last (the
    // capture asks right after the controller noted it).
    bool frontmostIsTerminal() override;
    // Any data-control or Xwayland PRIMARY is the compositor's current one: the accessibility
    // rule (a focused text with nothing selected means nothing) guards against a stale one.
    bool frontmostOwnsPrimary() override { return true; }
    bool activate(qint64) override { return false; }

private:
    CompositorFocus m_compositorFocus;
    std::atomic<qint64> m_lastFrontmost = 0;
};
