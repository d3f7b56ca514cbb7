#include "platform/linux/XWorkspace.h"

#include <cstring>

#include <QByteArray>
#include <QList>

#include "platform/ProcessInfo.h"

XWorkspace::XWorkspace()
{
    if (!m_x.isValid())
        return;
    m_activeWindow = m_x.atom("_NET_ACTIVE_WINDOW");
    m_wmPid = m_x.atom("_NET_WM_PID");
    m_clientListStacking = m_x.atom("_NET_CLIENT_LIST_STACKING");
}

std::optional<qint64> XWorkspace::processOf(xcb_window_t window) const
{
    const std::optional<quint32> pid = m_x.cardinal(window, m_wmPid);
    if (!pid || *pid == 0)
        return std::nullopt;
    return *pid;
}

QList<xcb_window_t> XWorkspace::windowsOf(qint64 pid) const
{
    QList<xcb_window_t> windows;
    const std::optional<XConnection::Property> list = m_x.property(m_x.root(), m_clientListStacking, XCB_ATOM_WINDOW);
    if (!list)
        return windows;
    for (qsizetype offset = list->data.size() - 4; offset >= 0; offset -= 4) { // bottom to top
        xcb_window_t window;
        std::memcpy(&window, list->data.constData() + offset, sizeof window);
        if (processOf(window) == pid)
            windows.append(window);
    }
    return windows;
}

std::optional<xcb_window_t> XWorkspace::activeWindow() const
{
    const std::optional<quint32> window = m_x.isValid() ? m_x.cardinal(m_x.root(), m_activeWindow) : std::nullopt;
    if (!window || *window == XCB_NONE)
        return std::nullopt;
    return *window;
}

QList<QByteArray> XWorkspace::windowClass(xcb_window_t window) const
{
    const std::optional<XConnection::Property> wmClass = m_x.property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    return wmClass ? wmClass->data.split('\0') : QList<QByteArray>();
}

std::optional<qint64> XWorkspace::frontmostProcessId()
{
    std::lock_guard lock(m_mutex);
    const std::optional<xcb_window_t> window = activeWindow();
    return window ? processOf(*window) : std::nullopt;
}

bool XWorkspace::frontmostIsTerminal()
{
    std::lock_guard lock(m_mutex);
    const std::optional<xcb_window_t> window = activeWindow();
    if (!window)
        return false;
    for (const QByteArray& name : windowClass(*window)) {
        if (ProcessInfo::isTerminalName(name))
            return true;
    }
    return false;
}

bool XWorkspace::frontmostOwnsPrimary()
{
    std::lock_guard lock(m_mutex);
    const std::optional<xcb_window_t> active = activeWindow();
    if (!active)
        return false;
    const XcbReply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(m_x.get(), xcb_get_selection_owner(m_x.get(), XCB_ATOM_PRIMARY), nullptr));
    if (!reply || reply->owner == XCB_NONE)
        return false;
    const std::optional<qint64> ownerPid = processOf(reply->owner);
    const std::optional<qint64> activePid = processOf(*active);
    if (ownerPid && activePid)
        return ownerPid == activePid;
    // Qt and xterm own it from an unmapped window without a pid: windows a client creates share
    // the resource base of its connection.
    const quint32 mask = xcb_get_setup(m_x.get())->resource_id_mask;
    return (reply->owner & ~mask) == (*active & ~mask);
}

QString XWorkspace::localizedName(qint64 pid)
{
    std::lock_guard lock(m_mutex);
    // The class part of WM_CLASS is the application's name as desktops show it ("Mousepad").
    const QList<xcb_window_t> windows = m_x.isValid() ? windowsOf(pid) : QList<xcb_window_t>();
    if (!windows.isEmpty()) {
        const QList<QByteArray> names = windowClass(windows.first());
        if (names.size() >= 2 && !names[1].isEmpty())
            return QString::fromLocal8Bit(names[1]);
    }
    return ProcessInfo::commandName(pid);
}

bool XWorkspace::isRunning(qint64 pid)
{
    return ProcessInfo::isRunning(pid);
}

bool XWorkspace::activate(qint64 pid)
{
    std::lock_guard lock(m_mutex);
    if (!m_x.isValid())
        return false;
    const QList<xcb_window_t> windows = windowsOf(pid);
    if (windows.isEmpty())
        return false;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = windows.first();
    message.type = m_activeWindow;
    message.data.data32[0] = 2; // from a pager: window managers honour it without focus-stealing checks
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_x.get(), 0, m_x.root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(m_x.get());
    return true;
}
