#pragma once

#include <array>

#include <QList>

#include <xcb/xproto.h>

class XConnection;

// Which X modifier bits the keys of the key table set on this server, read from the
// modifier mapping (Alt is usually Mod1, NumLock Mod2 and Super Mod4, but not always).
class ModifierMap {
public:
    explicit ModifierMap(const XConnection& connection);

    // The X state bits of a Carbon mask.
    quint16 mask(quint32 carbonModifiers) const;
    quint16 numLockMask() const;
    // Every key that sets any of the modifiers of a Carbon mask.
    QList<xcb_keycode_t> keysOf(quint32 carbonModifiers) const;

private:
    quint16 maskOfKey(xcb_keycode_t keycode, quint16 fallback) const;

    std::array<QList<xcb_keycode_t>, 8> m_rows;
};
