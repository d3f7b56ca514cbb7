#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

#include <QList>

#include "platform/linux/XConnection.h"

// Reads X selections (CLIPBOARD, PRIMARY) as a requestor of our own, large transfers included,
// never waiting longer than a bound for an owner that does not answer. Safe from any thread.
class XSelectionReader {
public:
    XSelectionReader();

    bool isValid() const { return m_x.isValid(); }
    xcb_atom_t atom(const char* name) const { return m_x.atom(name); }
    QByteArray atomName(xcb_atom_t atom) const;

    // The owner's list of targets; empty when there is no owner or it does not answer.
    QList<xcb_atom_t> targets(xcb_atom_t selection);
    // The selection converted to the target; nothing when refused or not answered in time.
    std::optional<QByteArray> read(xcb_atom_t selection, xcb_atom_t target);
    // The server's current time, for taking ownership correctly.
    xcb_timestamp_t serverTime();

private:
    XcbEvent waitFor(quint8 type, std::chrono::steady_clock::time_point deadline,
                     const std::function<bool(const xcb_generic_event_t*)>& matches);
    std::optional<QByteArray> readIncrementally(std::chrono::steady_clock::time_point deadline);

    std::mutex m_mutex;
    XConnection m_x;
    xcb_window_t m_window = XCB_NONE;
    xcb_atom_t m_transferProperty = XCB_NONE;
    xcb_atom_t m_incr = XCB_NONE;
};
