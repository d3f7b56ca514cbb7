#include "tray/TrayIcon.h"

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

#include "platform/PlatformServices.h"
#include "settings/L10n.h"
#include "tray/PouchIcon.h"

TrayIcon::TrayIcon(QMenu* menu, QObject* parent)
    : QObject(parent)
    , m_menu(menu)
    , m_icon(std::make_unique<QSystemTrayIcon>())
{
    repaint();
    m_icon->setToolTip(L10n::t("menu.statusLabel"));
    m_icon->setContextMenu(menu);
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A left click opens the same menu as a right click, as on a menu-bar item.
        if (reason == QSystemTrayIcon::Trigger && !m_menu->isVisible())
            m_menu->popup(QCursor::pos());
    });
    // The pouch follows the desktop's light or dark theme.
    qApp->installEventFilter(this);
    m_icon->show();
}

TrayIcon::~TrayIcon()
{
    qApp->removeEventFilter(this);
}

bool TrayIcon::desktopHasTray()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::repaint()
{
    // GNOME's top bar is dark whatever the theme of the windows.
    const bool darkPanel = Platform::services().session.desktop == Session::Desktop::gnome;
    m_icon->setIcon(PouchIcon::make(darkPanel ? PouchIcon::onDarkPanel : PouchIcon::colorFor(QApplication::palette())));
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange)
        repaint();
    return false;
}
