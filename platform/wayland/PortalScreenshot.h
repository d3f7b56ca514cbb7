#pragma once

#include <functional>

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include "core/TaskPool.h"
#include "platform/ScreenImages.h"

// The whole desktop from the Screenshot portal, without its dialog (interactive off). GNOME asks
// the user once whether Quillo may take screenshots, and shows that question only to the
// program that has the focus: the first call must come from one of our windows (allow); later
// calls are answered from the desktop's permission store without a word. The picture arrives
// as a file, read off the GUI thread and removed when the portal wrote it for this request.
// Talks on a bus connection of its own, whose first call registers the application id where
// the portal asks for one.
class PortalScreenshot final : public QObject, public ScreenImages {
public:
    PortalScreenshot();
    ~PortalScreenshot() override;

    void grab(QObject* context, Done done) override;
    Road road() const override { return Road::portal; }
    State state() const override { return m_state; }

    // The window the portal's question belongs to: our focused one ("x11:" and its id under
    // X11, "wayland:" where Qt hands out no exported handle). Never empty: newer portals
    // refuse an empty parent.
    static QString parentHandle();

private:
    QString m_connectionName;
    QDBusConnection m_bus;
    bool m_registered = false;
    State m_state = State::untried;
    TaskPool m_pool{1}; // reads the file; declared last, so it stops before the rest goes
};
