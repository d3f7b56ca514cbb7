#pragma once

#include <mutex>

#include "platform/SyntheticKeys.h"
#include "platform/linux/XConnection.h"

// Key events injected with the XTEST extension. Safe from any thread.
class XTestKeys final : public SyntheticKeys {
public:
    bool modifiersHeld() override;
    bool sendChord(quint32 keyCode, quint32 modifiers) override;

private:
    QList<xcb_keycode_t> heldModifierKeys();
    void fake(quint8 type, xcb_keycode_t keycode);

    std::mutex m_mutex;
    XConnection m_x;
};
