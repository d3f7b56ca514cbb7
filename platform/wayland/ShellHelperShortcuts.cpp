#include "platform/wayland/ShellHelperShortcuts.h"

#include <QTimer>

#include "core/HotKey.h"
#include "platform/wayland/ShellHelper.h"

QString ShellHelperShortcuts::bindingName(quint32 id)
{
    switch (id) {
    case HotKey::mainId: return QStringLiteral("trigger");
    case HotKey::screenshotId: return QStringLiteral("trigger-ocr");
    default: return {};
    }
}

bool ShellHelperShortcuts::grab(quint32 keyCode, quint32 modifiers, quint32 id)
{
    const QString name = bindingName(id);
    const QString accelerator = ShellHelper::accelerator(keyCode, modifiers);
    if (name.isEmpty() || accelerator.isEmpty())
        return false;
    m_grabbed.insert({keyCode, modifiers}, id);
    ShellHelper::bindShortcut(name, accelerator);
    return true;
}

void ShellHelperShortcuts::ungrab(quint32 keyCode, quint32 modifiers)
{
    const auto found = m_grabbed.constFind({keyCode, modifiers});
    if (found == m_grabbed.cend())
        return;
    const quint32 id = *found;
    m_grabbed.erase(found);
    // A shortcut let go and not taken again right after (the screenshot one turned off) is
    // unbound; a new combination replaces the old one at the extension by itself.
    QTimer::singleShot(0, this, [this, id] {
        for (const quint32 other : std::as_const(m_grabbed)) {
            if (other == id)
                return;
        }
        ShellHelper::bindShortcut(bindingName(id), QString());
    });
}
