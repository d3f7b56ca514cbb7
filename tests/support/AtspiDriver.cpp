#include "tests/support/AtspiDriver.h"

#include <functional>
#include <memory>
#include <utility>

#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"

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

// Calls given no GError drop theirs: a vanished object reads as none.
Ref<AtspiAccessible> childAt(AtspiAccessible* parent, int index)
{
    return Ref<AtspiAccessible>(atspi_accessible_get_child_at_index(parent, index, nullptr));
}

int childCount(AtspiAccessible* parent)
{
    return atspi_accessible_get_child_count(parent, nullptr);
}

Ref<AtspiAccessible> application(qint64 pid)
{
    AtspiDriver::join();
    const Ref<AtspiAccessible> desktop(atspi_get_desktop(0));
    for (int i = 0; desktop && i < childCount(desktop.get()); ++i) {
        Ref<AtspiAccessible> app = childAt(desktop.get(), i);
        if (app && atspi_accessible_get_process_id(app.get(), nullptr) == pid)
            return app;
    }
    return nullptr;
}

// The text of a string the library handed over, which is freed.
QString taken(gchar* utf8)
{
    const QString text = QString::fromUtf8(utf8);
    g_free(utf8);
    return text;
}

QString nameOf(AtspiAccessible* object)
{
    return taken(atspi_accessible_get_name(object, nullptr));
}

AtspiAccessible* search(AtspiAccessible* node, const std::function<bool(AtspiAccessible*)>& test, int depth = 0)
{
    if (test(node))
        return static_cast<AtspiAccessible*>(g_object_ref(node));
    for (int i = 0; depth < 30 && i < childCount(node); ++i) {
        if (Ref<AtspiAccessible> child = childAt(node, i)) {
            if (AtspiAccessible* found = search(child.get(), test, depth + 1))
                return found;
        }
    }
    return nullptr;
}

Ref<AtspiText> editableOf(qint64 pid)
{
    const auto editable = [](AtspiAccessible* node) {
        return hasState(node, ATSPI_STATE_EDITABLE) && Ref<AtspiText>(atspi_accessible_get_text_iface(node));
    };
    const Ref<AtspiAccessible> app = application(pid);
    const Ref<AtspiAccessible> found(app ? search(app.get(), editable) : nullptr);
    return Ref<AtspiText>(found ? atspi_accessible_get_text_iface(found.get()) : nullptr);
}

}

namespace AtspiDriver {

bool join()
{
    const int status = atspi_init();
    return status == 0 || status == 1;
}

AtspiAccessible* find(qint64 pid, const std::function<bool(const QString& name, AtspiRole role)>& test)
{
    const Ref<AtspiAccessible> app = application(pid);
    if (!app)
        return nullptr;
    atspi_accessible_clear_cache(app.get());
    return search(app.get(), [&test](AtspiAccessible* node) {
        return test(nameOf(node), atspi_accessible_get_role(node, nullptr));
    });
}

AtspiAccessible* named(qint64 pid, const QString& name)
{
    return find(pid, [&name](const QString& candidate, AtspiRole) { return candidate == name; });
}

bool press(AtspiAccessible* object)
{
    const Ref<AtspiAction> action(atspi_accessible_get_action_iface(object));
    return action && atspi_action_do_action(action.get(), 0, nullptr);
}

bool shows(qint64 pid, const QString& name)
{
    return Ref<AtspiAccessible>(named(pid, name)) != nullptr;
}

bool press(qint64 pid, const QString& name)
{
    const Ref<AtspiAccessible> control(named(pid, name));
    return control && press(control.get());
}

QString textOf(qint64 pid, const QString& name)
{
    const Ref<AtspiAccessible> found(named(pid, name));
    const Ref<AtspiText> text(found ? atspi_accessible_get_text_iface(found.get()) : nullptr);
    return taken(text ? atspi_text_get_text(text.get(), 0, -1, nullptr) : nullptr);
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

bool setSwitch(bool on)
{
    return runProgram(QStringLiteral("dbus-send"),
                      arguments("--session --print-reply --dest=org.a11y.Bus /org/a11y/bus "
                                "org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled")
                          << QStringLiteral("variant:boolean:") + QLatin1String(on ? "true" : "false"))
               .exitCode
        == 0;
}

qint64 startEditor(DesktopSession& session, const QString& path, const QString& text)
{
    QProcess* mousepad = writeFile(path, text.toUtf8()) ? session.start(QStringLiteral("mousepad"), {path}) : nullptr;
    const qint64 pid = mousepad ? mousepad->processId() : 0;
    const bool shown = pid && processEventsUntil([&] { return isActive(pid) && editableText(pid) == text; }, 30000);
    return shown ? pid : 0;
}

std::optional<QString> editableText(qint64 pid)
{
    const Ref<AtspiText> text = editableOf(pid);
    GError* error = nullptr;
    const int count = text ? atspi_text_get_character_count(text.get(), &error) : -1;
    gchar* utf8 = text && !error ? atspi_text_get_text(text.get(), 0, count, &error) : nullptr;
    const bool ok = utf8 && !error;
    g_clear_error(&error);
    const QString result = taken(utf8);
    return ok ? std::optional(result) : std::nullopt;
}

QString selectedText(qint64 pid)
{
    const Ref<AtspiText> text = editableOf(pid);
    AtspiRange* range = text && atspi_text_get_n_selections(text.get(), nullptr) > 0
        ? atspi_text_get_selection(text.get(), 0, nullptr)
        : nullptr;
    const QString selected =
        taken(range ? atspi_text_get_text(text.get(), range->start_offset, range->end_offset, nullptr) : nullptr);
    g_free(range);
    return selected;
}

bool select(qint64 pid, int start, int end)
{
    const Ref<AtspiText> text = editableOf(pid);
    if (!text)
        return false;
    // An empty selection where there is none is there already.
    GError* error = nullptr;
    const bool done = atspi_text_get_n_selections(text.get(), nullptr) > 0
        ? atspi_text_set_selection(text.get(), 0, start, end, &error)
        : start == end || atspi_text_add_selection(text.get(), start, end, &error);
    const bool ok = done && !error;
    g_clear_error(&error);
    return ok;
}

MenuWatch::MenuWatch(qint64 pid)
    : m_pid(pid)
    , m_listener((join(), atspi_event_listener_new(onEvent, this, nullptr)))
{
    atspi_event_listener_register(m_listener, "object:state-changed:focused", nullptr);
}

MenuWatch::~MenuWatch()
{
    atspi_event_listener_deregister(m_listener, "object:state-changed:focused", nullptr);
    g_object_unref(m_listener);
    forget();
}

void MenuWatch::forget()
{
    if (m_item)
        g_object_unref(std::exchange(m_item, nullptr));
}

QStringList MenuWatch::itemNames() const
{
    QStringList names;
    const Ref<AtspiAccessible> menu(m_item ? atspi_accessible_get_parent(m_item, nullptr) : nullptr);
    for (int i = 0; menu && i < childCount(menu.get()); ++i) {
        const Ref<AtspiAccessible> child = childAt(menu.get(), i);
        names << (child ? nameOf(child.get()) : QString());
    }
    return names;
}

void MenuWatch::onEvent(AtspiEvent* event, void* data)
{
    auto* self = static_cast<MenuWatch*>(data);
    if (!self->m_item && event->source && event->detail1 == 1
        && atspi_accessible_get_role(event->source, nullptr) == ATSPI_ROLE_MENU_ITEM
        && atspi_accessible_get_process_id(event->source, nullptr) == self->m_pid)
        self->m_item = static_cast<AtspiAccessible*>(g_object_ref(event->source));
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

}
