#include "platform/linux/ModifierMap.h"

#include <QHash>

#include "core/KeyFormatter.h"
#include "platform/linux/KeyTable.h"
#include "platform/linux/XConnection.h"

namespace {

// The usual bits, for a server whose mapping lacks a key.
quint16 usualMask(quint32 carbonBit)
{
    static const QHash<quint32, quint16> masks = {
        {KeyFormatter::controlMask, XCB_MOD_MASK_CONTROL},
        {KeyFormatter::optionMask, XCB_MOD_MASK_1},
        {KeyFormatter::shiftMask, XCB_MOD_MASK_SHIFT},
        {KeyFormatter::commandMask, XCB_MOD_MASK_4},
    };
    return masks.value(carbonBit);
}

}

ModifierMap::ModifierMap(const XConnection& connection)
{
    xcb_connection_t* c = connection.get();
    const XcbReply<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!reply)
        return;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perRow = reply->keycodes_per_modifier;
    for (int row = 0; row < 8; ++row) {
        for (int i = 0; i < perRow; ++i) {
            if (const xcb_keycode_t keycode = keycodes[row * perRow + i])
                m_rows[row].append(keycode);
        }
    }
}

quint16 ModifierMap::maskOfKey(xcb_keycode_t keycode, quint16 fallback) const
{
    for (int row = 0; row < 8; ++row) {
        if (m_rows[row].contains(keycode))
            return static_cast<quint16>(1 << row);
    }
    return fallback;
}

quint16 ModifierMap::mask(quint32 carbonModifiers) const
{
    quint16 result = 0;
    for (const KeyTable::ModifierKey& key : KeyTable::modifierKeys()) {
        if (carbonModifiers & key.carbonBit)
            result |= maskOfKey(key.keycode, usualMask(key.carbonBit));
    }
    return result;
}

quint16 ModifierMap::numLockMask() const
{
    return maskOfKey(KeyTable::numLockKeycode, XCB_MOD_MASK_2);
}

QList<xcb_keycode_t> ModifierMap::keysOf(quint32 carbonModifiers) const
{
    QList<xcb_keycode_t> keys;
    const quint16 bits = mask(carbonModifiers);
    for (int row = 0; row < 8; ++row) {
        if (bits & (1 << row))
            keys += m_rows[row];
    }
    return keys;
}
