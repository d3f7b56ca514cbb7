#include "platform/wayland/VirtualKeyboard.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

#include <QByteArray>

#include <wayland-client.h>

#include "platform/wayland/TypedChord.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace {

constexpr uint32_t xkbOffset = 8; // xkb key codes are evdev codes plus 8
constexpr uint32_t keymapFormatXkbV1 = 1;

// A keymap holding the keys a chord may use, at their US places, with the usual modifier bits.
QByteArray ownKeymap()
{
    // The real modifiers by their bit.
    const char* const modifierNames[] = {"Shift", "Lock", "Control", "Mod1", "Mod2", "Mod3", "Mod4", "Mod5"};
    QByteArray codes;
    QByteArray symbols;
    for (const TypedChord::Key& key : TypedChord::allKeys()) {
        const QByteArray code = QByteArray::number(key.evdev + xkbOffset);
        const QByteArray name = "<K" + code + '>';
        codes += "    " + name + " = " + code + ";\n";
        const QByteArray keysym = key.name ? QByteArray(key.name) : QByteArray(1, char(key.keysym));
        symbols += "    key " + name + " { [ " + keysym + " ] };\n";
        if (key.modifierBit)
            symbols += "    modifier_map " + QByteArray(modifierNames[std::countr_zero(key.modifierBit)]) + " { " + name
                + " };\n";
    }
    return "xkb_keymap {\n"
           "  xkb_keycodes \"quillo\" {\n    minimum = 8;\n    maximum = 255;\n"
        + codes
        + "  };\n"
          "  xkb_types \"quillo\" { include \"complete\" };\n"
          "  xkb_compatibility \"quillo\" { include \"complete\" };\n"
          "  xkb_symbols \"quillo\" {\n"
        + symbols + "  };\n};\n";
}

uint32_t now()
{
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

}

std::shared_ptr<VirtualKeyboard> VirtualKeyboard::connect()
{
    std::shared_ptr<VirtualKeyboard> keyboard(new VirtualKeyboard);
    if (!keyboard->setUp())
        return nullptr;
    return keyboard;
}

void VirtualKeyboard::onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                               uint32_t version)
{
    auto* self = static_cast<VirtualKeyboard*>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat)
        self->m_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0 && !self->m_manager)
        self->m_manager = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, std::min(version, 1u)));
}

bool VirtualKeyboard::setUp()
{
    m_display = wl_display_connect(nullptr);
    if (!m_display)
        return false;
    static const wl_registry_listener registryListener{&VirtualKeyboard::onGlobal,
                                                       [](void*, wl_registry*, uint32_t) {}};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &registryListener, this);
    return wl_display_roundtrip(m_display) >= 0 && m_manager && m_seat;
}

bool VirtualKeyboard::ensureKeyboard()
{
    if (m_keyboard)
        return true;
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, m_seat);
    return uploadKeymap();
}

bool VirtualKeyboard::uploadKeymap()
{
    const QByteArray keymap = ownKeymap();
    const int fd = memfd_create("quillo-keymap", MFD_CLOEXEC);
    if (fd < 0)
        return false;
    // The compositor maps the text with its terminating zero.
    const bool written = write(fd, keymap.constData(), keymap.size() + 1) == keymap.size() + 1;
    if (written)
        zwp_virtual_keyboard_v1_keymap(m_keyboard, keymapFormatXkbV1, fd, static_cast<uint32_t>(keymap.size() + 1));
    close(fd);
    return written;
}

VirtualKeyboard::~VirtualKeyboard()
{
    if (m_keyboard)
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    if (m_manager)
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(m_manager));
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display) {
        wl_display_flush(m_display);
        wl_display_disconnect(m_display);
    }
}

bool VirtualKeyboard::canSend()
{
    std::lock_guard lock(m_mutex);
    return !m_broken;
}

bool VirtualKeyboard::sendChord(quint32 keyCode, quint32 modifiers)
{
    const std::optional<TypedChord> chord = TypedChord::of(keyCode, modifiers);
    std::lock_guard lock(m_mutex);
    if (!chord || m_broken)
        return false;
    if (!ensureKeyboard()) {
        m_broken = true;
        return false;
    }
    uint32_t held = 0;
    const auto press = [this](const TypedChord::Key& key, bool down) {
        zwp_virtual_keyboard_v1_key(m_keyboard, now(), key.evdev,
                                    down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    };
    for (const TypedChord::Key& modifier : chord->modifiers) {
        press(modifier, true);
        held |= modifier.modifierBit;
    }
    // Clients read the modifiers from the seat's state, which the keyboard itself reports.
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, held, 0, 0, 0);
    press(chord->key, true);
    press(chord->key, false);
    for (auto it = chord->modifiers.crbegin(); it != chord->modifiers.crend(); ++it)
        press(*it, false);
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
    // The round trip delivers the keys and tells whether the compositor took them: one that allows
    // no virtual keyboard to us closes the connection.
    m_broken = wl_display_roundtrip(m_display) < 0;
    return !m_broken;
}
