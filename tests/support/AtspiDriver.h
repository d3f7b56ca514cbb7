#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

#include <atspi/atspi.h>

class DesktopSession;

// Drives other applications over the accessibility bus as an assistive tool would: finds controls
// by accessible name and presses or reads them, tells whether an application's window is ACTIVE,
// and reads and selects the text of its first editable element (on Wayland no X tool reaches a
// window). Objects returned are the caller's to unref.
namespace AtspiDriver {

// Joins the session's accessibility bus; false when there is none.
bool join();
// Turns the desktop's accessibility switch (org.a11y.Status IsEnabled) on or off.
bool setSwitch(bool on);

// The first object of the process, depth first, for which the test holds.
AtspiAccessible* find(qint64 pid, const std::function<bool(const QString& name, AtspiRole role)>& test);
AtspiAccessible* named(qint64 pid, const QString& name);
bool press(AtspiAccessible* object);
// The same for the process's first object of that name: whether it is there, pressing it, its text.
bool shows(qint64 pid, const QString& name);
bool press(qint64 pid, const QString& name);
QString textOf(qint64 pid, const QString& name);

bool isActive(qint64 pid);
// mousepad on a file at `path` holding the text, once its window is ACTIVE and shows the text;
// its process id, 0 when it never got there.
qint64 startEditor(DesktopSession& session, const QString& path, const QString& text);
// The whole text of the application's first editable element; nothing while it has none.
std::optional<QString> editableText(qint64 pid);
// The text selected in that element; empty when nothing is.
QString selectedText(qint64 pid);
// Selects [start, end) in that element (start == end collapses the selection to the caret).
bool select(qint64 pid, int start, int end);

// The names of the items of the menu that holds the next focused menu item of the process.
class MenuWatch {
public:
    explicit MenuWatch(qint64 pid);
    ~MenuWatch();
    MenuWatch(const MenuWatch&) = delete;
    MenuWatch& operator=(const MenuWatch&) = delete;

    bool seen() const { return m_item != nullptr; }
    void forget();
    QStringList itemNames() const;

private:
    static void onEvent(AtspiEvent* event, void* data);

    qint64 m_pid;
    AtspiEventListener* m_listener;
    AtspiAccessible* m_item = nullptr;
};

}
