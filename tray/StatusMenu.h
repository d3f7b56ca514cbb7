#pragma once

#include <functional>
#include <memory>

#include <QObject>

#include "settings/AppSettings.h"

class QAction;
class QMenu;

// The tray icon's menu: what Quillo is doing (shortcut, engines, model) and the way to every
// window and command. Rebuilt when what it shows changes; the permission warnings at its top and
// the knowledge count are refreshed each time it is about to open, in place.
class StatusMenu : public QObject {
    Q_OBJECT

public:
    struct Commands {
        std::function<void()> openModelPicker;
        std::function<void()> deleteDownloadedModel;
        std::function<void(int step)> setFontScale;
        std::function<void()> startScreenOCR;
        std::function<void()> openKnowledge;
        std::function<void()> openSettings;
        std::function<void()> openAccessibilitySettings;
        std::function<void()> openOnboarding;
        std::function<void()> checkForUpdates;
        std::function<void()> guideScreenRecording;
        std::function<void()> quit;
    };

    // Asked each time the menu opens.
    struct Probes {
        std::function<int()> knowledgeCount;
        std::function<bool()> trusted;
        std::function<bool()> screenAccess;
        // The local engine reported an installed model, or a cloud key is set.
        std::function<bool()> engineUsable;
    };

    // What a build shows besides the settings.
    struct State {
        AppSettings settings;
        bool bundledEngine = false;
        bool screenshotShortcutActive = true;
    };

    static constexpr int knowledgeTag = 9001;
    static constexpr int warningTag = 9100;

    StatusMenu(Commands commands, Probes probes, QObject* parent = nullptr);
    ~StatusMenu() override;

    QMenu* menu() const { return m_menu.get(); }
    void rebuild(const State& state);
    // The knowledge title and the warnings, as the menu does when it opens.
    void refresh();

    static QString engineLine(const AppSettings& settings);
    static QString knowledgeTitle(int count);

private:
    QAction* addCommand(QMenu* menu, const QString& title, const std::function<void()>& command);
    void refreshWarnings();

    Commands m_commands;
    Probes m_probes;
    std::unique_ptr<QMenu> m_menu;
};
