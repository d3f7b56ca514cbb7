#include "app/HotKey.h"

#include <QCoreApplication>
#include <QHash>
#include <QMetaObject>

#include "platform/PlatformServices.h"

namespace {

// Main thread only, like every HotKey.
QHash<quint32, HotKey*>& registry()
{
    static QHash<quint32, HotKey*> entries;
    return entries;
}

// The service whose presses are routed to dispatch: the handler is installed once per service.
std::weak_ptr<GlobalHotKeys> handledService;

}

HotKey::HotKey(quint32 keyCode, quint32 modifiers, quint32 id, std::function<void()> callback)
    : m_callback(std::move(callback))
    , m_id(id)
    , m_keyCode(keyCode)
    , m_modifiers(modifiers)
{
    const std::shared_ptr<GlobalHotKeys> service = Platform::services().hotKeys;
    if (service && service != handledService.lock()) {
        service->setPressedHandler(&HotKey::dispatch);
        handledService = service;
    }
    registry().insert(id, this);
    m_registered = service && service->grab(keyCode, modifiers, id);
}

HotKey::~HotKey()
{
    if (m_registered) {
        if (const std::shared_ptr<GlobalHotKeys> service = Platform::services().hotKeys)
            service->ungrab(m_keyCode, m_modifiers);
    }
    const auto it = registry().constFind(m_id);
    if (it != registry().constEnd() && *it == this)
        registry().erase(it);
}

void HotKey::dispatch(quint32 id)
{
    // Deferred, so a callback that destroys HotKeys never runs inside the service's event handling.
    QMetaObject::invokeMethod(QCoreApplication::instance(), [id] {
        const HotKey* hotKey = registry().value(id);
        if (!hotKey)
            return;
        const std::function<void()> callback = hotKey->m_callback; // it may destroy its HotKey
        if (callback)
            callback();
    }, Qt::QueuedConnection);
}
