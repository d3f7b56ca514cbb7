#pragma once

#include <memory>

#include <QObject>

class QMenu;
class QSystemTrayIcon;

// The pouch in the desktop's tray (StatusNotifierItem or XEmbed, whichever the desktop hosts),
// with the status menu on either click. Its tooltip names the application; a desktop without a
// tray simply shows nothing, and the application runs on. The pouch follows the theme's
// brightness, except on GNOME, whose top bar is always dark: there it is always light.
class TrayIcon : public QObject {
    Q_OBJECT

public:
    explicit TrayIcon(QMenu* menu, QObject* parent = nullptr);
    ~TrayIcon() override;

    static bool desktopHasTray();

private:
    void repaint();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QMenu* m_menu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};
