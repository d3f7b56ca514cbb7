#pragma once

#include <mutex>

#include "platform/Workspace.h"
#include "platform/linux/XConnection.h"

// Applications as the window manager sees them (EWMH): the active window, the process of each
// client window, activation requests. Safe from any thread.
class XWorkspace final : public Workspace {
public:
    XWorkspace();

    std::optional<qint64> frontmostProcessId() override;
    QString localizedName(qint64 pid) override;
    bool isRunning(qint64 pid) override;
    bool frontmostIsTerminal() override;
    bool frontmostOwnsPrimary() override;
    bool activate(qint64 pid) override;

private:
    std::optional<qint64> processOf(xcb_window_t window) const;
    std::optional<xcb_window_t> activeWindow() const;
    // The instance and class names of WM_CLASS.
    QList<QByteArray> windowClass(xcb_window_t window) const;
    // The client windows of the process, topmost first.
    QList<xcb_window_t> windowsOf(qint64 pid) const;

    std::mutex m_mutex;
    XConnection m_x;
    xcb_atom_t m_activeWindow = XCB_NONE;
    xcb_atom_t m_wmPid = XCB_NONE;
    xcb_atom_t m_clientListStacking = XCB_NONE;
};
