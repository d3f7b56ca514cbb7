#pragma once

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>

#include <QByteArray>

#include <xcb/xcb.h>

// Replies and events of xcb are malloc'ed.
struct XcbFree {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;
using XcbEvent = XcbReply<xcb_generic_event_t>;

// A connection of our own to the X server of DISPLAY. Each service keeps its own, so none
// depends on another's event handling; xcb reports errors as values, never by aborting.
class XConnection {
public:
    XConnection();
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    bool isValid() const;
    xcb_connection_t* get() const { return m_connection; }
    xcb_window_t root() const { return m_root; }

    xcb_atom_t atom(const char* name) const;

    struct Property {
        xcb_atom_t type = XCB_NONE;
        quint8 format = 0;
        QByteArray data;
    };
    // The whole property; nothing when the window or the property does not exist.
    std::optional<Property> property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type = XCB_ATOM_ANY,
                                     bool remove = false) const;
    std::optional<quint32> cardinal(xcb_window_t window, xcb_atom_t name) const;

    // An unmapped window of ours that receives the given events.
    xcb_window_t createWindow(quint32 eventMask) const;

    // The next event, waiting until the deadline at most.
    XcbEvent waitForEvent(std::chrono::steady_clock::time_point deadline) const;

    // A request and its check, synchronously: false when the server answered with an error.
    bool check(xcb_void_cookie_t cookie) const;

    // Tells the requestor of a selection where its answer is (XCB_NONE: refused).
    void notifySelection(const xcb_selection_request_event_t& request, xcb_atom_t property) const;

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
};
