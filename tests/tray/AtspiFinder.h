#pragma once

#include <functional>
#include <optional>

#include <QRect>
#include <QString>
#include <QStringList>

#include <atspi/atspi.h>

// Finds controls of a running application over the accessibility bus by their accessible name,
// as an assistive tool would, and presses them or reads their text.
class AtspiFinder {
public:
    AtspiFinder() { atspi_init(); }

    // The first object of the process (breadth first) whose name satisfies the test; the caller
    // owns the reference.
    static AtspiAccessible* find(qint64 pid, const std::function<bool(const QString& name, AtspiRole role)>& test)
    {
        AtspiAccessible* desktop = atspi_get_desktop(0);
        AtspiAccessible* found = nullptr;
        const int apps = atspi_accessible_get_child_count(desktop, nullptr);
        for (int i = 0; i < apps && !found; ++i) {
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

    static std::optional<QString> text(AtspiAccessible* object)
    {
        AtspiText* text = atspi_accessible_get_text_iface(object);
        if (!text)
            return std::nullopt;
        gchar* chars = atspi_text_get_text(text, 0, -1, nullptr);
        const QString result = QString::fromUtf8(chars);
        g_free(chars);
        g_object_unref(text);
        return result;
    }

    static QRect extents(AtspiAccessible* object)
    {
        AtspiComponent* component = atspi_accessible_get_component_iface(object);
        if (!component)
            return {};
        AtspiRect* rect = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr);
        const QRect result = rect ? QRect(rect->x, rect->y, rect->width, rect->height) : QRect();
        g_free(rect);
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
            if (m_item)
                g_object_unref(m_item);
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
            const int count = menu ? atspi_accessible_get_child_count(menu, nullptr) : 0;
            for (int i = 0; i < count; ++i) {
                AtspiAccessible* child = atspi_accessible_get_child_at_index(menu, i, nullptr);
                gchar* name = child ? atspi_accessible_get_name(child, nullptr) : nullptr;
                names << QString::fromUtf8(name ? name : "");
                g_free(name);
                if (child)
                    g_object_unref(child);
            }
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
    static AtspiAccessible* search(AtspiAccessible* root, const std::function<bool(const QString&, AtspiRole)>& test,
                                   int depth)
    {
        gchar* name = atspi_accessible_get_name(root, nullptr);
        const bool hit = test(QString::fromUtf8(name ? name : ""), atspi_accessible_get_role(root, nullptr));
        g_free(name);
        if (hit)
            return static_cast<AtspiAccessible*>(g_object_ref(root));
        if (depth > 30)
            return nullptr;
        const int children = atspi_accessible_get_child_count(root, nullptr);
        for (int i = 0; i < children; ++i) {
            AtspiAccessible* child = atspi_accessible_get_child_at_index(root, i, nullptr);
            AtspiAccessible* found = child ? search(child, test, depth + 1) : nullptr;
            if (child)
                g_object_unref(child);
            if (found)
                return found;
        }
        return nullptr;
    }
};
