#include "platform/linux/XkbKeyLayout.h"

// xkb.h names a field "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>

#include "platform/linux/KeyTable.h"

XkbKeyLayout::XkbKeyLayout()
    : m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{
    if (!m_x.isValid() || !m_context
        || !xkb_x11_setup_xkb_extension(m_x.get(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                        XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &m_eventBase, nullptr))
        return;
    m_device = xkb_x11_get_core_keyboard_device_id(m_x.get());
    if (m_device < 0)
        return;

    const quint16 events =
        XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY | XCB_XKB_EVENT_TYPE_STATE_NOTIFY;
    const quint16 mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP
        | XCB_XKB_MAP_PART_EXPLICIT_COMPONENTS | XCB_XKB_MAP_PART_KEY_ACTIONS | XCB_XKB_MAP_PART_VIRTUAL_MODS
        | XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.affectState =
        XCB_XKB_STATE_PART_GROUP_BASE | XCB_XKB_STATE_PART_GROUP_LATCH | XCB_XKB_STATE_PART_GROUP_LOCK;
    details.stateDetails = details.affectState;
    xcb_xkb_select_events_aux(m_x.get(), static_cast<xcb_xkb_device_spec_t>(m_device), events, 0, 0, mapParts, mapParts,
                              &details);
    loadKeymap();
}

XkbKeyLayout::~XkbKeyLayout()
{
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

void XkbKeyLayout::loadKeymap() const
{
    xkb_keymap* keymap = xkb_x11_keymap_new_from_device(m_context, m_x.get(), m_device, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_state* state = keymap ? xkb_x11_state_new_from_device(keymap, m_x.get(), m_device) : nullptr;
    if (!state) {
        xkb_keymap_unref(keymap);
        return;
    }
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
    m_keymap = keymap;
    m_state = state;
}

void XkbKeyLayout::applyNotifications() const
{
    while (xcb_generic_event_t* raw = xcb_poll_for_event(m_x.get())) {
        const XcbEvent event(raw);
        if (event->response_type != m_eventBase)
            continue;
        const auto* any = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(raw);
        if (any->deviceID != m_device)
            continue;
        if (any->xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || any->xkbType == XCB_XKB_MAP_NOTIFY) {
            loadKeymap();
        } else if (any->xkbType == XCB_XKB_STATE_NOTIFY) {
            xkb_state_update_mask(m_state, any->baseMods, any->latchedMods, any->lockedMods, any->baseGroup,
                                  any->latchedGroup, any->lockedGroup);
        }
    }
}

QString XkbKeyLayout::characterFor(quint32 keyCode) const
{
    std::lock_guard lock(m_mutex);
    const xcb_keycode_t keycode = KeyTable::keycode(keyCode);
    if (!m_state || keycode == 0)
        return {};
    applyNotifications();
    const xkb_layout_index_t layout = xkb_state_key_get_layout(m_state, keycode);
    const xkb_keysym_t* symbols = nullptr;
    if (layout == XKB_LAYOUT_INVALID || xkb_keymap_key_get_syms_by_level(m_keymap, keycode, layout, 0, &symbols) < 1)
        return {};
    const char32_t character = xkb_keysym_to_utf32(symbols[0]);
    if (character < 0x20 || character == 0x7f)
        return {}; // dead keys and control characters produce nothing printable
    return QString::fromUcs4(&character, 1);
}
