#include "platform/linux/XTestKeys.h"

#include <xcb/xtest.h>

#include "core/KeyFormatter.h"
#include "platform/linux/KeyTable.h"
#include "platform/linux/ModifierMap.h"

namespace {

constexpr quint32 allModifiers =
    KeyFormatter::commandMask | KeyFormatter::optionMask | KeyFormatter::controlMask | KeyFormatter::shiftMask;

}

QList<xcb_keycode_t> XTestKeys::heldModifierKeys()
{
    xcb_connection_t* c = m_x.get();
    const XcbReply<xcb_query_keymap_reply_t> keymap(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
    QList<xcb_keycode_t> held;
    if (!keymap)
        return held;
    for (const xcb_keycode_t keycode : ModifierMap(m_x).keysOf(allModifiers)) {
        if (keymap->keys[keycode / 8] & (1 << (keycode % 8)))
            held.append(keycode);
    }
    return held;
}

bool XTestKeys::modifiersHeld()
{
    std::lock_guard lock(m_mutex);
    return m_x.isValid() && !heldModifierKeys().isEmpty();
}

void XTestKeys::fake(quint8 type, xcb_keycode_t keycode)
{
    xcb_test_fake_input(m_x.get(), type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

bool XTestKeys::sendChord(quint32 keyCode, quint32 modifiers)
{
    std::lock_guard lock(m_mutex);
    const xcb_keycode_t key = KeyTable::keycode(keyCode);
    if (!m_x.isValid() || key == 0)
        return false;
    // The user's own modifiers would turn the chord into another one.
    for (const xcb_keycode_t held : heldModifierKeys())
        fake(XCB_KEY_RELEASE, held);

    QList<xcb_keycode_t> chordModifiers;
    for (const KeyTable::ModifierKey& modifier : KeyTable::modifierKeys()) {
        if (modifiers & modifier.carbonBit)
            chordModifiers.append(modifier.keycode);
    }
    for (const xcb_keycode_t modifier : std::as_const(chordModifiers))
        fake(XCB_KEY_PRESS, modifier);
    fake(XCB_KEY_PRESS, key);
    fake(XCB_KEY_RELEASE, key);
    for (auto it = chordModifiers.crbegin(); it != chordModifiers.crend(); ++it)
        fake(XCB_KEY_RELEASE, *it);
    // A round trip: once it returns, the server has delivered the events.
    free(xcb_get_input_focus_reply(m_x.get(), xcb_get_input_focus(m_x.get()), nullptr));
    return true;
}
