#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QObject>
#include <QString>

#include "capture/SelectionCapture.h"
#include "tray/SingleInstance.h"

class ActionEngine;
class ActionOptions;
class AppWindows;
class Clipboard;
class Dictation;
class EngineControl;
class HotKeyRegistrar;
class KnowledgeStore;
class PopupPanel;
class ScreenTextCapture;
class SelectionCaptureService;
class StatusMenu;
class TaskPool;
class TrayIcon;
class UpdatePopups;
class Workspace;

// The tray application's controller, alive for the whole run: the tray icon and its menu, the two
// global shortcuts, the one popup and the windows. Turns a shortcut press into a popup for the
// selection or for recognised screen text, keeps the menu's warnings and counters current and
// answers the menu's commands. Main thread only; slow work runs on the task pool and comes back.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    // What the controller uses; the references outlive it.
    struct Services {
        std::shared_ptr<EngineControl> engines;
        std::shared_ptr<ActionEngine> actionEngine;
        KnowledgeStore& knowledge;
        TaskPool& tasks;
        SelectionCaptureService& capture;
        ScreenTextCapture& screenText;
        Clipboard& clipboard;
        Workspace& workspace;
        std::function<std::unique_ptr<Dictation>()> dictation;
    };

    explicit AppDelegate(Services services, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence: log line, tray icon, shortcuts, windows' callbacks, the accessibility
    // bus, the engine and its warm-up, onboarding, update checks, healing and readiness.
    void applicationDidFinishLaunching();
    // A command of `quillo --trigger` and its siblings, or of a second launch.
    void handle(SingleInstance::Command command);

    void onHotKey();
    void startScreenOCR(const QString& source);
    void presentActions(const SelectionCapture::Result& result, std::optional<qint64> targetPid);

    // Ends the run, asking for a new instance once this one has let everything go.
    void relaunch();
    bool relaunchRequested() const { return m_relaunch; }

private:
    void continuePresenting(const SelectionCapture::Result& result, std::optional<qint64> targetPid);
    void setupStatusItem();
    // The settings window saved: new language, shortcuts, menu and windows.
    void settingsSaved();
    void healLocalEngineOnLaunch();
    void refreshReadiness();
    void checkAccessibilityForUpgradedUser();
    void whenPopupFree(std::function<void()> tell);
    void tellIfNoTray();
    void showNoTrayGuide();
    // Files kept aside and settings ignored, told once in a notice.
    void tellDataNotices();
    // The desktop answered about the shortcuts: where the user must bind them, a guide once.
    void shortcutRoadChanged();
    void showShortcutGuide();

    void showPermissionGuide(const QString& body);
    void showScreenRecordingGuide();
    void showScreenTextGuide();
    void showNotReadyPrompt();
    void tryUseExistingOllama();
    void openAccessibilitySettings();
    void setFontScale(int step);
    void deleteDownloadedModel();

    Services m_services;
    std::unique_ptr<PopupPanel> m_popup;
    std::unique_ptr<AppWindows> m_windows;
    std::unique_ptr<StatusMenu> m_menu;
    std::unique_ptr<TrayIcon> m_tray;
    std::unique_ptr<HotKeyRegistrar> m_hotKeys;
    std::unique_ptr<UpdatePopups> m_updates;
    std::shared_ptr<ActionOptions> m_actionOptions;
    bool m_hasUsableLocalModel = false;
    bool m_screenAccess = false;
    bool m_ocrCaptureInProgress = false;
    bool m_relaunch = false;
    bool m_dataNoticeWaiting = false;
};
