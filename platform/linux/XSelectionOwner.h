#pragma once

#include <atomic>
#include <mutex>
#include <thread>

#include <QHash>
#include <QList>

#include "platform/linux/XConnection.h"

// Owns X selections on behalf of this process and hands their data to whoever asks, from a
// thread of its own, so serving never waits for the main thread. Also counts the owner changes
// of CLIPBOARD made by other applications. When it goes while owning CLIPBOARD, a running
// clipboard manager is asked to keep a copy, so the user's clipboard outlives this process.
class XSelectionOwner {
public:
    struct Target {
        xcb_atom_t atom;
        QByteArray data;
    };

    XSelectionOwner();
    ~XSelectionOwner();
    XSelectionOwner(const XSelectionOwner&) = delete;
    XSelectionOwner& operator=(const XSelectionOwner&) = delete;

    bool isValid() const { return m_x.isValid(); }
    // Takes the selection with these targets as of the server time given; with no targets the
    // selection is left without an owner. False when the server did not make us the owner.
    bool own(xcb_atom_t selection, QList<Target> targets, xcb_timestamp_t time);
    quint64 foreignClipboardChanges() const { return m_foreignChanges; }

private:
    struct Transfer { // a large value sent in pieces
        xcb_window_t requestor;
        xcb_atom_t property;
        xcb_atom_t type;
        QByteArray data;
        qsizetype sent = 0;
    };
    struct Owned {
        xcb_timestamp_t time;
        QList<Target> targets;
    };

    void run();
    void wake();
    void handOverClipboard();
    void handle(const xcb_generic_event_t* event);
    void answer(const xcb_selection_request_event_t& request);
    bool sendValue(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t type, const QByteArray& data);
    void continueTransfer(xcb_window_t window, xcb_atom_t property);

    XConnection m_x;
    xcb_window_t m_window = XCB_NONE;
    xcb_atom_t m_clipboard = XCB_NONE;
    xcb_atom_t m_targetsAtom = XCB_NONE;
    xcb_atom_t m_timestampAtom = XCB_NONE;
    xcb_atom_t m_incrAtom = XCB_NONE;
    xcb_atom_t m_managerAtom = XCB_NONE;
    xcb_atom_t m_saveTargetsAtom = XCB_NONE;
    quint8 m_fixesEventBase = 0;
    int m_wakeFd = -1;
    std::atomic<bool> m_stop = false;
    std::atomic<quint64> m_foreignChanges = 0;
    std::atomic<bool> m_handedOver = false;
    std::mutex m_mutex; // guards m_owned; m_transfers belong to the thread
    QHash<xcb_atom_t, Owned> m_owned;
    QList<Transfer> m_transfers;
    std::thread m_thread;
};
