#pragma once

#include "platform/Clipboard.h"
#include "platform/linux/XSelectionOwner.h"
#include "platform/linux/XSelectionReader.h"

// The X11 CLIPBOARD and PRIMARY selections through our own xcb owner and reader, not QClipboard
// (whose stale timestamps broke restoring). Snapshots keep every data target the owner offers
// (byte for byte, under the same names, INCR included); restoring makes this process their
// owner, and what we own is handed to a clipboard manager when the platform goes at exit.
class XClipboard final : public Clipboard {
public:
    XClipboard();

    Snapshot snapshot() override;
    void restore(const Snapshot& snapshot) override;
    quint64 changeCount() override { return m_owner.foreignClipboardChanges(); }
    std::optional<QString> text() override;
    void setText(const QString& text) override;
    QString selectionText() override;

private:
    std::optional<QString> textOf(xcb_atom_t selection);
    void own(const Snapshot& formats);

    XSelectionReader m_reader;
    XSelectionOwner m_owner;
    xcb_atom_t m_clipboard = XCB_NONE;
    xcb_atom_t m_primary = XCB_ATOM_PRIMARY;
    xcb_atom_t m_utf8String = XCB_NONE;
    xcb_atom_t m_utf8PlainText = XCB_NONE;
    xcb_atom_t m_plainText = XCB_NONE; // read as UTF-8: what owners send there in practice
};
