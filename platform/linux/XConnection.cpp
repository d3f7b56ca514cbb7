#include "platform/linux/XConnection.h"

#include <cstring>

#include <poll.h>

XConnection::XConnection()
    : m_connection(xcb_connect(nullptr, nullptr))
{
    if (isValid())
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
}

XConnection::~XConnection()
{
    xcb_disconnect(m_connection);
}

bool XConnection::isValid() const
{
    return m_connection && xcb_connection_has_error(m_connection) == 0;
}

xcb_atom_t XConnection::atom(const char* name) const
{
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, std::strlen(name), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

std::optional<XConnection::Property> XConnection::property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
                                                           bool remove) const
{
    Property result;
    quint32 offset = 0; // in 32-bit units
    for (;;) {
        const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, name, type, offset, 1 << 20), nullptr));
        if (!reply || reply->type == XCB_NONE)
            return std::nullopt;
        result.type = reply->type;
        result.format = reply->format;
        const int length = xcb_get_property_value_length(reply.get());
        result.data.append(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
        if (reply->bytes_after == 0)
            break;
        offset += length / 4;
    }
    if (remove)
        xcb_delete_property(m_connection, window, name);
    return result;
}

std::optional<quint32> XConnection::cardinal(xcb_window_t window, xcb_atom_t name) const
{
    const std::optional<Property> value = property(window, name);
    if (!value || value->format != 32 || value->data.size() < 4)
        return std::nullopt;
    quint32 number;
    std::memcpy(&number, value->data.constData(), sizeof number);
    return number;
}

xcb_window_t XConnection::createWindow(quint32 eventMask) const
{
    const xcb_window_t window = xcb_generate_id(m_connection);
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &eventMask);
    return window;
}

XcbEvent XConnection::waitForEvent(std::chrono::steady_clock::time_point deadline) const
{
    for (;;) {
        if (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
            return XcbEvent(event);
        if (!isValid())
            return nullptr;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return nullptr;
        pollfd descriptor{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        poll(&descriptor, 1, static_cast<int>(left.count()));
    }
}

bool XConnection::check(xcb_void_cookie_t cookie) const
{
    const XcbReply<xcb_generic_error_t> error(xcb_request_check(m_connection, cookie));
    return !error;
}

void XConnection::notifySelection(const xcb_selection_request_event_t& request, xcb_atom_t property) const
{
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    xcb_send_event(m_connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
    xcb_flush(m_connection);
}
