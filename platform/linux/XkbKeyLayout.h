#pragma once

#include <mutex>

#include "platform/KeyLayout.h"
#include "platform/linux/XConnection.h"

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

// The characters of the session's current keyboard layout (xkbcommon), following layout
// switches and new keymaps as the server announces them. Safe from any thread.
class XkbKeyLayout final : public KeyLayout {
public:
    XkbKeyLayout();
    ~XkbKeyLayout() override;
    XkbKeyLayout(const XkbKeyLayout&) = delete;
    XkbKeyLayout& operator=(const XkbKeyLayout&) = delete;

    bool isValid() const { return m_state != nullptr; }
    QString characterFor(quint32 keyCode) const override;

private:
    void loadKeymap() const;
    void applyNotifications() const;

    mutable std::mutex m_mutex;
    XConnection m_x;
    qint32 m_device = -1;
    quint8 m_eventBase = 0;
    xkb_context* m_context = nullptr;
    // Follow the server: updated on reads.
    mutable xkb_keymap* m_keymap = nullptr;
    mutable xkb_state* m_state = nullptr;
};
