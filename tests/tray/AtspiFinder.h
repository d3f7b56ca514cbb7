#pragma once

#include <functional>

#include <QRect>
#include <QString>
#include <QStringList>

#include <atspi/atspi.h>

// Finds controls of a running application over the accessibility bus by their accessible name,
// as an assistive tool would, presses them and reads what is selected.
class AtspiFinder {
public:
    using Test = std::function<bool(const QString& name, AtspiRole role)>;

    AtspiFinder() { atspi_init(); }

    // The first object of the process (depth first) that passes the test; the caller owns the reference.
    static AtspiAccessible* find(qint64 pid, const Test& test)
    {
        AtspiAccessible* desktop = atspi_get_desktop(0);
        AtspiAccessible* found = nullptr;
        for (int i = 0; i < atspi_accessible_get_child_count(desktop, nullptr) && !found; ++i) {
            AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
            if (app && atspi_accessible_get_process_id(app, nullptr) == pid) {
                atspi_accessible_clear_cache(app);
                found = search(app, test, 0);
            }
            if (app)
                g_object_unref(app);
        }
        g_object_unref(desktop);
        return found;
    }

    static AtspiAccessible* named(qint64 pid, const QString& name)
    {
        return find(pid, [&](const QString& candidate, AtspiRole) { return candidate == name; });
    }

    static bool press(AtspiAccessible* object)
    {
        AtspiAction* action = atspi_accessible_get_action_iface(object);
        const bool done = action && atspi_action_do_action(action, 0, nullptr);
        if (action)
            g_object_unref(action);
        return done;
    }

    // The text selected in the process's first text view; empty when nothing is.
    static QString selectedText(qint64 pid)
    {
        AtspiAccessible* view = find(pid, [](const QString&, AtspiRole role) { return role == ATSPI_ROLE_TEXT; });
        AtspiText* text = view ? atspi_accessible_get_text_iface(view) : nullptr;
        AtspiRange* range = text && atspi_text_get_n_selections(text, nullptr) > 0
            ? atspi_text_get_selection(text, 0, nullptr)
            : nullptr;
        gchar* chars = range ? atspi_text_get_text(text, range->start_offset, range->end_offset, nullptr) : nullptr;
        const QString selected = QString::fromUtf8(chars ? chars : "");
        g_free(chars);
        g_free(range);
        if (text)
            g_object_unref(text);
        if (view)
            g_object_unref(view);
        return selected;
    }

    static QRect extents(AtspiAccessible* object)
    {
        AtspiComponent* component = atspi_accessible_get_component_iface(object);
        AtspiRect* rect =
            component ? atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr) : nullptr;
        const QRect result = rect ? QRect(rect->x, rect->y, rect->width, rect->height) : QRect();
        g_free(rect);
        if (component)
            g_object_unref(component);
        return result;
    }

    // The names of the items of the menu that holds the next focused menu item of the process.
    class MenuWatch {
    public:
        explicit MenuWatch(qint64 pid)
            : m_pid(pid)
            , m_listener(atspi_event_listener_new(onEvent, this, nullptr))
        {
            atspi_event_listener_register(m_listener, "object:state-changed:focused", nullptr);
        }
        ~MenuWatch()
        {
            atspi_event_listener_deregister(m_listener, "object:state-changed:focused", nullptr);
            g_object_unref(m_listener);
            forget();
        }
        MenuWatch(const MenuWatch&) = delete;
        MenuWatch& operator=(const MenuWatch&) = delete;

        bool seen() const { return m_item != nullptr; }
        void forget()
        {
            if (m_item)
                g_object_unref(m_item);
            m_item = nullptr;
        }
        QStringList itemNames() const
        {
            QStringList names;
            AtspiAccessible* menu = m_item ? atspi_accessible_get_parent(m_item, nullptr) : nullptr;
            for (int i = 0; menu && i < atspi_accessible_get_child_count(menu, nullptr); ++i)
                names << nameOf(atspi_accessible_get_child_at_index(menu, i, nullptr), true);
            if (menu)
                g_object_unref(menu);
            return names;
        }

    private:
        static void onEvent(AtspiEvent* event, void* data)
        {
            auto* self = static_cast<MenuWatch*>(data);
            if (!self->m_item && event->source && event->detail1 == 1
                && atspi_accessible_get_role(event->source, nullptr) == ATSPI_ROLE_MENU_ITEM
                && atspi_accessible_get_process_id(event->source, nullptr) == self->m_pid)
                self->m_item = static_cast<AtspiAccessible*>(g_object_ref(event->source));
            g_boxed_free(ATSPI_TYPE_EVENT, event);
        }

        qint64 m_pid;
        AtspiEventListener* m_listener;
        AtspiAccessible* m_item = nullptr;
    };

private:
    // The object's name; with `release`, the reference passed in is dropped.
    static QString nameOf(AtspiAccessible* object, bool release)
    {
        gchar* name = object ? atspi_accessible_get_name(object, nullptr) : nullptr;
        const QString result = QString::fromUtf8(name ? name : "");
        g_free(name);
        if (object && release)
            g_object_unref(object);
        return result;
    }

    static AtspiAccessible* search(AtspiAccessible* root, const Test& test, int depth)
    {
        if (test(nameOf(root, false), atspi_accessible_get_role(root, nullptr)))
            return static_cast<AtspiAccessible*>(g_object_ref(root));
        AtspiAccessible* found = nullptr;
        for (int i = 0; depth < 30 && !found && i < atspi_accessible_get_child_count(root, nullptr); ++i) {
            AtspiAccessible* child = atspi_accessible_get_child_at_index(root, i, nullptr);
            found = child ? search(child, test, depth + 1) : nullptr;
            if (child)
                g_object_unref(child);
        }
        return found;
    }
};
