#pragma once

#include <QObject>
#include <QTimer>

#include "update/UpdateChecker.h"

class PopupPanel;
class TaskPool;

// The user's side of the update check: a silent check at launch and every 6 hours that announces
// each new version once, the menu's check, the announcement with its download button, and the
// download into the Downloads folder, opened with the desktop's default handler.
class UpdatePopups : public QObject {
    Q_OBJECT

public:
    UpdatePopups(PopupPanel& popup, TaskPool& tasks, QObject* parent = nullptr);

    // The silent check now, then every 6 hours.
    void start();
    void checkForUpdateManually();

private:
    void performSilentUpdateCheck();
    void showUpdatePopup(const UpdateChecker::UpdateInfo& info);
    void downloadAndOpen(const QString& latest, const QString& fallbackPage);
    void openFallbackPage(const QString& page);

    PopupPanel& m_popup;
    TaskPool& m_tasks;
    QTimer m_timer;
};
