#include "platform/wayland/WaylandGlobals.h"

#include <cstring>

#include <wayland-client.h>

namespace WaylandGlobals {

bool offered(const char* interface)
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return false;
    struct Search {
        const char* interface;
        bool found = false;
    } search{interface};
    static const wl_registry_listener listener{
        [](void* data, wl_registry*, uint32_t, const char* name, uint32_t) {
            auto* wanted = static_cast<Search*>(data);
            wanted->found = wanted->found || std::strcmp(name, wanted->interface) == 0;
        },
        [](void*, wl_registry*, uint32_t) {},
    };
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &search);
    // The globals are announced in answer to the registry request.
    const bool answered = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return answered && search.found;
}

}
