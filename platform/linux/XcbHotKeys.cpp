#include "platform/linux/XcbHotKeys.h"

#include <QMetaObject>
#include <QSocketNotifier>

// xkb.h names a field "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include "platform/linux/KeyTable.h"

XcbHotKeys::XcbHotKeys()
{
    if (!m_x.isValid())
        return;
    xcb_connection_t* c = m_x.get();
    // Without this, a held key sends release/press pairs and every repeat would count as a press.
    free(xcb_xkb_use_extension_reply(c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
                                     nullptr));
    const quint32 detectable = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    free(xcb_xkb_per_client_flags_reply(
        c, xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD, detectable, detectable, 0, 0, 0), nullptr));

    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readEvents(); });
}

XcbHotKeys::~XcbHotKeys()
{
    for (const Grab& grab : std::as_const(m_grabs))
        ungrabVariants(grab.keycode, grab.modifiers, lockVariants());
    if (m_x.isValid())
        xcb_flush(m_x.get());
}

QList<quint16> XcbHotKeys::lockVariants() const
{
    const quint16 numLock = m_modifierMap.numLockMask();
    return {0, XCB_MOD_MASK_LOCK, numLock, static_cast<quint16>(XCB_MOD_MASK_LOCK | numLock)};
}

bool XcbHotKeys::grab(quint32 keyCode, quint32 modifiers, quint32 id)
{
    const xcb_keycode_t keycode = KeyTable::keycode(keyCode);
    if (!m_x.isValid() || keycode == 0)
        return false;
    const quint16 mask = m_modifierMap.mask(modifiers);
    for (const Grab& grab : std::as_const(m_grabs)) {
        if (grab.keycode == keycode && grab.modifiers == mask)
            return false;
    }

    // Checked grabs: a combination another client holds answers BadAccess right away.
    const QList<quint16> variants = lockVariants();
    QList<quint16> taken;
    bool refused = false;
    for (const quint16 variant : variants) {
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(m_x.get(), 1, m_x.root(), mask | variant, keycode,
                                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        if (!m_x.check(cookie)) {
            refused = true;
            break;
        }
        taken.append(variant);
    }
    // Replies may have brought events along that the socket will not announce again.
    QMetaObject::invokeMethod(
        m_notifier.get(), [this] { readEvents(); }, Qt::QueuedConnection);
    if (refused) {
        ungrabVariants(keycode, mask, taken);
        xcb_flush(m_x.get());
        return false;
    }
    m_grabs.append({keycode, mask, id});
    return true;
}

void XcbHotKeys::ungrab(quint32 keyCode, quint32 modifiers)
{
    const xcb_keycode_t keycode = KeyTable::keycode(keyCode);
    if (!m_x.isValid() || keycode == 0)
        return;
    const quint16 mask = m_modifierMap.mask(modifiers);
    const auto removed =
        m_grabs.removeIf([&](const Grab& grab) { return grab.keycode == keycode && grab.modifiers == mask; });
    if (removed == 0)
        return;
    if (m_held && m_held->keycode == keycode && m_held->modifiers == mask)
        m_held.reset();
    ungrabVariants(keycode, mask, lockVariants());
    xcb_flush(m_x.get());
}

void XcbHotKeys::ungrabVariants(xcb_keycode_t keycode, quint16 modifiers, const QList<quint16>& variants)
{
    if (!m_x.isValid())
        return;
    for (const quint16 variant : variants)
        xcb_ungrab_key(m_x.get(), keycode, m_x.root(), modifiers | variant);
}

void XcbHotKeys::readEvents()
{
    if (!m_x.isValid()) {
        m_notifier->setEnabled(false); // the server went away
        return;
    }
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_x.get())) {
        const XcbEvent owned(event);
        handle(event);
    }
}

void XcbHotKeys::handle(const xcb_generic_event_t* event)
{
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_KEY_PRESS) {
        const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (m_held && m_held->keycode == press->detail)
            return; // a repeat
        // Another of our shortcuts replaces a held one: its release may have been lost to a grab.
        const quint16 locks = XCB_MOD_MASK_LOCK | m_modifierMap.numLockMask();
        const quint16 state = press->state & 0xff & ~locks;
        for (const Grab& grab : std::as_const(m_grabs)) {
            if (grab.keycode == press->detail && grab.modifiers == state) {
                m_held = grab;
                return;
            }
        }
    } else if (type == XCB_MAPPING_NOTIFY) {
        m_modifierMap = ModifierMap(m_x);
    } else if (type == XCB_KEY_RELEASE) {
        // Matched by key alone: the modifiers may already be up.
        const auto* release = reinterpret_cast<const xcb_key_release_event_t*>(event);
        if (!m_held || m_held->keycode != release->detail)
            return;
        const quint32 id = m_held->id;
        m_held.reset();
        if (m_handler)
            m_handler(id);
    }
}
