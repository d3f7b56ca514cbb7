// Input for tests on KWin, which offers no virtual keyboard to wtype: a key tapped, or the
// pointer moved, through KWin's fake-input protocol (granted to anyone when KWin runs with
// KWIN_WAYLAND_NO_PERMISSION_CHECKS=1, as tests/support/in-wayland.sh starts it).
//   kwin_fake_input key CODE    (a Linux input key code: 1 is Escape)
//   kwin_fake_input pointer X Y
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <wayland-client.h>

#include "fake-input-client-protocol.h"

namespace {

constexpr uint32_t neededVersion = 4; // keyboard_key

void announced(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    auto** input = static_cast<org_kde_kwin_fake_input**>(data);
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= neededVersion)
        *input = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, neededVersion));
}

void removed(void*, wl_registry*, uint32_t) { }

const wl_registry_listener registryListener{announced, removed};

int usage()
{
    std::fputs("usage: kwin_fake_input key CODE | pointer X Y\n", stderr);
    return 2;
}

}

int main(int argc, char** argv)
{
    const bool key = argc == 3 && std::strcmp(argv[1], "key") == 0;
    const bool pointer = argc == 4 && std::strcmp(argv[1], "pointer") == 0;
    if (!key && !pointer)
        return usage();
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fputs("kwin_fake_input: no Wayland display\n", stderr);
        return 1;
    }
    org_kde_kwin_fake_input* input = nullptr;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &input);
    wl_display_roundtrip(display);
    if (!input) {
        std::fputs("kwin_fake_input: the compositor offers no fake input (version 4)\n", stderr);
        wl_display_disconnect(display);
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(input, "Quillo tests", "drive the desktop under test");
    if (key) {
        const auto code = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
        org_kde_kwin_fake_input_keyboard_key(input, code, 1);
        org_kde_kwin_fake_input_keyboard_key(input, code, 0);
    } else {
        org_kde_kwin_fake_input_pointer_motion_absolute(input, wl_fixed_from_int(std::atoi(argv[2])),
                                                        wl_fixed_from_int(std::atoi(argv[3])));
    }
    // Delivered once the compositor has answered a round trip after them.
    const bool delivered = wl_display_roundtrip(display) >= 0;
    org_kde_kwin_fake_input_destroy(input);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return delivered ? 0 : 1;
}
