#include "tests/support/AtspiDriver.h"

#include <functional>
#include <memory>

#include <atspi/atspi.h>

namespace {

struct Unref {
    void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;

bool hasState(AtspiAccessible* object, AtspiStateType state)
{
    const Ref<AtspiStateSet> states(atspi_accessible_get_state_set(object));
    return states && atspi_state_set_contains(states.get(), state);
}

Ref<AtspiAccessible> childAt(AtspiAccessible* parent, int index)
{
    GError* error = nullptr;
    Ref<AtspiAccessible> child(atspi_accessible_get_child_at_index(parent, index, &error));
    g_clear_error(&error);
    return child;
}

int childCount(AtspiAccessible* parent)
{
    GError* error = nullptr;
    const int count = atspi_accessible_get_child_count(parent, &error);
    g_clear_error(&error);
    return count;
}

Ref<AtspiAccessible> application(qint64 pid)
{
    const Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
    for (int i = 0; desktop && i < childCount(desktop.get()); ++i) {
        Ref<AtspiAccessible> app = childAt(desktop.get(), i);
        GError* error = nullptr;
        const guint appPid = app ? atspi_accessible_get_process_id(app.get(), &error) : 0;
        g_clear_error(&error);
        if (app && appPid == pid)
            return app;
    }
    return nullptr;
}

Ref<AtspiAccessible> firstEditable(AtspiAccessible* node, int depth = 0)
{
    if (hasState(node, ATSPI_STATE_EDITABLE)) {
        if (Ref<AtspiText> text{atspi_accessible_get_text_iface(node)})
            return Ref<AtspiAccessible>(static_cast<AtspiAccessible*>(g_object_ref(node)));
    }
    for (int i = 0; depth < 30 && i < childCount(node); ++i) {
        if (Ref<AtspiAccessible> child = childAt(node, i)) {
            if (Ref<AtspiAccessible> found = firstEditable(child.get(), depth + 1))
                return found;
        }
    }
    return nullptr;
}

Ref<AtspiText> editableOf(qint64 pid)
{
    const Ref<AtspiAccessible> app = application(pid);
    const Ref<AtspiAccessible> editable = app ? firstEditable(app.get()) : nullptr;
    return Ref<AtspiText>(editable ? atspi_accessible_get_text_iface(editable.get()) : nullptr);
}

}

namespace AtspiDriver {

bool join()
{
    const int status = atspi_init();
    return status == 0 || status == 1;
}

bool isActive(qint64 pid)
{
    const Ref<AtspiAccessible> app = application(pid);
    for (int i = 0; app && i < childCount(app.get()); ++i) {
        const Ref<AtspiAccessible> window = childAt(app.get(), i);
        if (window && hasState(window.get(), ATSPI_STATE_ACTIVE))
            return true;
    }
    return false;
}

std::optional<QString> editableText(qint64 pid)
{
    const Ref<AtspiText> text = editableOf(pid);
    GError* error = nullptr;
    const int count = text ? atspi_text_get_character_count(text.get(), &error) : -1;
    gchar* utf8 = text && !error ? atspi_text_get_text(text.get(), 0, count, &error) : nullptr;
    const bool ok = utf8 && !error;
    g_clear_error(&error);
    const QString result = QString::fromUtf8(utf8);
    g_free(utf8);
    return ok ? std::optional(result) : std::nullopt;
}

bool select(qint64 pid, int start, int end)
{
    const Ref<AtspiText> text = editableOf(pid);
    if (!text)
        return false;
    GError* error = nullptr;
    const int selections = atspi_text_get_n_selections(text.get(), &error);
    g_clear_error(&error);
    bool done;
    if (start == end && selections <= 0)
        done = true;
    else if (selections > 0)
        done = atspi_text_set_selection(text.get(), 0, start, end, &error);
    else
        done = atspi_text_add_selection(text.get(), start, end, &error);
    const bool ok = done && !error;
    g_clear_error(&error);
    return ok;
}

}
