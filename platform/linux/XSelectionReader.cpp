#include "platform/linux/XSelectionReader.h"

#include <cstring>

namespace {

using namespace std::chrono_literals;

// An owner that has not answered by then is treated as gone.
constexpr auto answerTimeout = 500ms;
// A large transfer as a whole.
constexpr auto transferTimeout = 3s;

}

XSelectionReader::XSelectionReader()
{
    if (!m_x.isValid())
        return;
    m_window = m_x.createWindow(XCB_EVENT_MASK_PROPERTY_CHANGE);
    m_transferProperty = m_x.atom("QUILLO_SELECTION");
    m_incr = m_x.atom("INCR");
}

QByteArray XSelectionReader::atomName(xcb_atom_t atom) const
{
    xcb_connection_t* c = m_x.get();
    const XcbReply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr));
    if (!reply)
        return {};
    return QByteArray(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
}

XcbEvent XSelectionReader::waitFor(quint8 type, std::chrono::steady_clock::time_point deadline,
                                   const std::function<bool(const xcb_generic_event_t*)>& matches)
{
    while (XcbEvent event = m_x.waitForEvent(deadline)) {
        if ((event->response_type & 0x7f) == type && matches(event.get()))
            return event;
    }
    return nullptr;
}

QList<xcb_atom_t> XSelectionReader::targets(xcb_atom_t selection)
{
    const std::optional<QByteArray> list = read(selection, m_x.atom("TARGETS"));
    QList<xcb_atom_t> atoms;
    if (!list)
        return atoms;
    for (qsizetype offset = 0; offset + 4 <= list->size(); offset += 4) {
        xcb_atom_t atom;
        std::memcpy(&atom, list->constData() + offset, sizeof atom);
        atoms.append(atom);
    }
    return atoms;
}

std::optional<QByteArray> XSelectionReader::read(xcb_atom_t selection, xcb_atom_t target)
{
    std::lock_guard lock(m_mutex);
    if (!m_x.isValid() || target == XCB_NONE)
        return std::nullopt;
    xcb_connection_t* c = m_x.get();
    xcb_delete_property(c, m_window, m_transferProperty);
    xcb_convert_selection(c, m_window, selection, target, m_transferProperty, XCB_CURRENT_TIME);
    xcb_flush(c);

    const XcbEvent event = waitFor(
        XCB_SELECTION_NOTIFY, std::chrono::steady_clock::now() + answerTimeout, [&](const xcb_generic_event_t* e) {
            const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(e);
            return notify->requestor == m_window && notify->selection == selection && notify->target == target;
        });
    if (!event || reinterpret_cast<const xcb_selection_notify_event_t*>(event.get())->property == XCB_NONE)
        return std::nullopt;

    const std::optional<XConnection::Property> value = m_x.property(m_window, m_transferProperty, XCB_ATOM_ANY, true);
    if (!value)
        return std::nullopt;
    if (value->type == m_incr)
        return readIncrementally(std::chrono::steady_clock::now() + transferTimeout);
    return value->data;
}

// The owner sends a large value in pieces, each after we deleted the previous one; an empty
// piece ends it.
std::optional<QByteArray> XSelectionReader::readIncrementally(std::chrono::steady_clock::time_point deadline)
{
    xcb_flush(m_x.get()); // the deletion of the INCR marker starts the transfer
    QByteArray data;
    for (;;) {
        const XcbEvent event =
            waitFor(XCB_PROPERTY_NOTIFY, std::min(deadline, std::chrono::steady_clock::now() + answerTimeout),
                    [&](const xcb_generic_event_t* e) {
                        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(e);
                        return notify->window == m_window && notify->atom == m_transferProperty
                            && notify->state == XCB_PROPERTY_NEW_VALUE;
                    });
        if (!event)
            return std::nullopt;
        const std::optional<XConnection::Property> piece =
            m_x.property(m_window, m_transferProperty, XCB_ATOM_ANY, true);
        if (!piece)
            return std::nullopt;
        xcb_flush(m_x.get());
        if (piece->data.isEmpty())
            return data;
        data += piece->data;
    }
}

xcb_timestamp_t XSelectionReader::serverTime()
{
    std::lock_guard lock(m_mutex);
    if (!m_x.isValid())
        return XCB_CURRENT_TIME;
    // Appending nothing to a property still makes the server report the time of the change.
    const xcb_atom_t property = m_x.atom("QUILLO_TIMESTAMP");
    xcb_change_property(m_x.get(), XCB_PROP_MODE_APPEND, m_window, property, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(m_x.get());
    const XcbEvent event = waitFor(XCB_PROPERTY_NOTIFY, std::chrono::steady_clock::now() + answerTimeout,
                                   [&](const xcb_generic_event_t* e) {
                                       const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(e);
                                       return notify->window == m_window && notify->atom == property;
                                   });
    return event ? reinterpret_cast<const xcb_property_notify_event_t*>(event.get())->time : XCB_CURRENT_TIME;
}
