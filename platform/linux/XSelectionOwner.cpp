#include "platform/linux/XSelectionOwner.h"

#include <chrono>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <xcb/xfixes.h>

namespace {

// Larger values go in pieces of this size (the INCR protocol).
constexpr qsizetype pieceSize = 256 * 1024;
// How long a clipboard manager may take to copy our clipboard when we quit.
constexpr auto handOverTimeout = std::chrono::seconds(3);

}

XSelectionOwner::XSelectionOwner()
{
    if (!m_x.isValid())
        return;
    xcb_connection_t* c = m_x.get();
    m_window = m_x.createWindow(XCB_EVENT_MASK_PROPERTY_CHANGE);
    m_clipboard = m_x.atom("CLIPBOARD");
    m_targetsAtom = m_x.atom("TARGETS");
    m_timestampAtom = m_x.atom("TIMESTAMP");
    m_incrAtom = m_x.atom("INCR");
    m_managerAtom = m_x.atom("CLIPBOARD_MANAGER");
    m_saveTargetsAtom = m_x.atom("SAVE_TARGETS");

    const xcb_query_extension_reply_t* fixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (fixes && fixes->present) {
        free(xcb_xfixes_query_version_reply(
            c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr));
        m_fixesEventBase = fixes->first_event;
        xcb_xfixes_select_selection_input(c, m_window, m_clipboard,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
    }
    xcb_flush(c);
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_thread = std::thread([this] { run(); });
}

XSelectionOwner::~XSelectionOwner()
{
    if (!m_thread.joinable())
        return;
    handOverClipboard();
    m_stop = true;
    wake();
    m_thread.join();
    close(m_wakeFd);
}

void XSelectionOwner::wake()
{
    const quint64 one = 1;
    [[maybe_unused]] const auto written = write(m_wakeFd, &one, sizeof one);
}

void XSelectionOwner::handOverClipboard()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_owned.contains(m_clipboard))
            return;
    }
    xcb_connection_t* c = m_x.get();
    const XcbReply<xcb_get_selection_owner_reply_t> manager(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_managerAtom), nullptr));
    wake();
    if (!manager || manager->owner == XCB_NONE)
        return;
    // The manager reads every target from us (served by our thread), then answers.
    xcb_convert_selection(c, m_window, m_managerAtom, m_saveTargetsAtom, m_saveTargetsAtom, XCB_CURRENT_TIME);
    xcb_flush(c);
    const auto deadline = std::chrono::steady_clock::now() + handOverTimeout;
    while (!m_handedOver && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

bool XSelectionOwner::own(xcb_atom_t selection, QList<Target> targets, xcb_timestamp_t time)
{
    if (!m_x.isValid())
        return false;
    const bool release = targets.isEmpty();
    {
        std::lock_guard lock(m_mutex);
        if (release)
            m_owned.remove(selection);
        else
            m_owned.insert(selection, {time, std::move(targets)});
    }
    xcb_connection_t* c = m_x.get();
    const xcb_window_t owner = release ? XCB_NONE : m_window;
    xcb_set_selection_owner(c, owner, selection, time);
    const XcbReply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    wake(); // the reply may have brought events along that our thread must see
    return reply && reply->owner == owner;
}

void XSelectionOwner::run()
{
    pollfd descriptors[2] = {{xcb_get_file_descriptor(m_x.get()), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    while (!m_stop && m_x.isValid()) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(m_x.get())) {
            const XcbEvent owned(event);
            handle(event);
        }
        xcb_flush(m_x.get());
        poll(descriptors, 2, -1);
        quint64 count;
        [[maybe_unused]] const auto drained = read(m_wakeFd, &count, sizeof count);
    }
}

void XSelectionOwner::handle(const xcb_generic_event_t* event)
{
    const quint8 type = event->response_type & 0x7f;
    if (m_fixesEventBase && type == m_fixesEventBase + XCB_XFIXES_SELECTION_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->owner != m_window)
            ++m_foreignChanges;
    } else if (type == XCB_SELECTION_REQUEST) {
        answer(*reinterpret_cast<const xcb_selection_request_event_t*>(event));
    } else if (type == XCB_SELECTION_NOTIFY) {
        if (reinterpret_cast<const xcb_selection_notify_event_t*>(event)->selection == m_managerAtom)
            m_handedOver = true;
    } else if (type == XCB_SELECTION_CLEAR) {
        const auto* clear = reinterpret_cast<const xcb_selection_clear_event_t*>(event);
        std::lock_guard lock(m_mutex);
        const auto it = m_owned.constFind(clear->selection);
        if (it != m_owned.constEnd() && it->time <= clear->time)
            m_owned.erase(it);
    } else if (type == XCB_PROPERTY_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->state == XCB_PROPERTY_DELETE)
            continueTransfer(notify->window, notify->atom);
    }
}

void XSelectionOwner::answer(const xcb_selection_request_event_t& request)
{
    // Old requestors name no property: the target's name is used then.
    const xcb_atom_t property = request.property == XCB_NONE ? request.target : request.property;
    bool answered = false;
    {
        std::lock_guard lock(m_mutex);
        const auto owned = m_owned.constFind(request.selection);
        const bool current =
            owned != m_owned.constEnd() && (request.time == XCB_CURRENT_TIME || request.time >= owned->time);
        if (current) {
            if (request.target == m_targetsAtom) {
                QList<xcb_atom_t> atoms = {m_targetsAtom, m_timestampAtom};
                for (const Target& target : owned->targets)
                    atoms.append(target.atom);
                answered = sendValue(request.requestor, property, XCB_ATOM_ATOM,
                                     QByteArray(reinterpret_cast<const char*>(atoms.constData()), atoms.size() * 4));
            } else if (request.target == m_timestampAtom) {
                const quint32 time = owned->time;
                answered = sendValue(request.requestor, property, XCB_ATOM_INTEGER,
                                     QByteArray(reinterpret_cast<const char*>(&time), 4));
            } else {
                for (const Target& target : owned->targets) {
                    if (target.atom == request.target) {
                        answered = sendValue(request.requestor, property, target.atom, target.data);
                        break;
                    }
                }
            }
        }
    }
    m_x.notifySelection(request, answered ? property : XCB_NONE);
}

bool XSelectionOwner::sendValue(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t type, const QByteArray& data)
{
    xcb_connection_t* c = m_x.get();
    const quint8 format = (type == XCB_ATOM_ATOM || type == XCB_ATOM_INTEGER) ? 32 : 8;
    if (data.size() <= pieceSize) {
        const xcb_void_cookie_t cookie = xcb_change_property_checked(
            c, XCB_PROP_MODE_REPLACE, requestor, property, type, format, data.size() * 8 / format, data.constData());
        return m_x.check(cookie); // the requestor's window may be gone
    }
    const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, requestor, XCB_CW_EVENT_MASK, &mask);
    const quint32 size = static_cast<quint32>(data.size());
    const xcb_void_cookie_t cookie =
        xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, requestor, property, m_incrAtom, 32, 1, &size);
    if (!m_x.check(cookie))
        return false;
    m_transfers.append({requestor, property, type, data});
    return true;
}

void XSelectionOwner::continueTransfer(xcb_window_t window, xcb_atom_t property)
{
    for (qsizetype i = 0; i < m_transfers.size(); ++i) {
        Transfer& transfer = m_transfers[i];
        if (transfer.requestor != window || transfer.property != property)
            continue;
        const qsizetype length = std::min(pieceSize, transfer.data.size() - transfer.sent);
        const xcb_void_cookie_t cookie =
            xcb_change_property_checked(m_x.get(), XCB_PROP_MODE_REPLACE, window, property, transfer.type, 8, length,
                                        transfer.data.constData() + transfer.sent);
        transfer.sent += length;
        if (length == 0 || !m_x.check(cookie)) // the empty piece ends it
            m_transfers.removeAt(i);
        return;
    }
}
