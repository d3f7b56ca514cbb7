#pragma once

#include <memory>
#include <mutex>

#include "platform/SyntheticKeys.h"

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

// Keys typed through a virtual keyboard of the compositor's seat (zwp_virtual_keyboard_v1: sway,
// Hyprland), on a connection of our own and with a keymap of our own, so that what we type does
// not depend on the user's layout. The compositor asks nobody: the user's leave is our setting.
// Keys go to whatever window is active. Every call from any thread.
class VirtualKeyboard final : public SyntheticKeys {
public:
    // Nothing when the compositor cannot be reached or offers no virtual keyboards.
    static std::shared_ptr<VirtualKeyboard> connect();
    ~VirtualKeyboard() override;
    VirtualKeyboard(const VirtualKeyboard&) = delete;
    VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

    bool canSend() override;
    bool needsLeave() override { return true; }
    // Our keyboard has its own modifiers: the user's held keys do not mix in.
    bool modifiersHeld() override { return false; }
    bool sendChord(quint32 keyCode, quint32 modifiers) override;

private:
    VirtualKeyboard() = default;
    bool setUp();
    // The keyboard joins the seat on the first keys, not before; m_mutex held.
    bool ensureKeyboard();
    bool uploadKeymap();
    static void onGlobal(void* self, wl_registry* registry, uint32_t name, const char* interface, uint32_t version);

    std::mutex m_mutex;
    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    zwp_virtual_keyboard_manager_v1* m_manager = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    bool m_broken = false; // the compositor closed the connection (refused the keyboard)
};
