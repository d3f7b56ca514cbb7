#include "core/HotKey.h"

#include <QCoreApplication>
#include <QHash>
#include <QList>

#include "core/TaskPool.h"
#include "platform/PlatformServices.h"

namespace {

// Everything here is used on the main thread only, like every HotKey.

// The registered HotKeys of each id, oldest first; presses go to the last.
QHash<quint32, QList<HotKey*>>& registry()
{
    static QHash<quint32, QList<HotKey*>> entries;
    return entries;
}

// One grab of the service, shared by the live HotKeys of its combination and id.
struct Grab {
    const GlobalHotKeys* service;
    Shortcut shortcut;
    quint32 id;
    int holders;
};

QList<Grab>& grabs()
{
    static QList<Grab> held;
    return held;
}

qsizetype grabOf(const GlobalHotKeys* service, Shortcut shortcut, quint32 id)
{
    const QList<Grab>& held = grabs();
    for (qsizetype i = 0; i < held.size(); ++i) {
        if (held[i].service == service && held[i].shortcut == shortcut && held[i].id == id)
            return i;
    }
    return -1;
}

// The service whose presses are routed to dispatch: the handler is installed once per service.
std::weak_ptr<GlobalHotKeys> handledService;

}

HotKey::HotKey(Shortcut shortcut, quint32 id, std::function<void()> callback)
    : m_callback(std::move(callback))
    , m_id(id)
    , m_shortcut(shortcut)
    , m_service(Platform::services().hotKeys)
{
    if (m_service != handledService.lock()) {
        m_service->setPressedHandler(&HotKey::dispatch);
        handledService = m_service;
    }
    if (const qsizetype shared = grabOf(m_service.get(), shortcut, id); shared >= 0)
        ++grabs()[shared].holders;
    else if (m_service->grab(shortcut.keyCode, shortcut.modifiers, id))
        grabs().append({m_service.get(), shortcut, id, 1});
    else
        return;
    m_registered = true;
    registry()[id].append(this);
}

HotKey::~HotKey()
{
    if (!m_registered)
        return;
    QList<HotKey*>& entries = registry()[m_id];
    entries.removeOne(this);
    if (entries.isEmpty())
        registry().remove(m_id);
    const qsizetype grab = grabOf(m_service.get(), m_shortcut, m_id);
    if (--grabs()[grab].holders == 0) {
        grabs().removeAt(grab);
        m_service->ungrab(m_shortcut.keyCode, m_shortcut.modifiers);
    }
}

void HotKey::dispatch(quint32 id)
{
    // Deferred, so a callback that destroys HotKeys never runs inside the service's event handling.
    TaskPool::toGui(QCoreApplication::instance(), [id] {
        const QList<HotKey*> entries = registry().value(id);
        if (entries.isEmpty())
            return;
        const std::function<void()> callback = entries.last()->m_callback; // it may destroy its HotKey
        if (callback)
            callback();
    });
}
