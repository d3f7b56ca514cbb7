#pragma once

#include <functional>
#include <memory>

#include <QObject>

class ActionEngine;
class Clipboard;
class EngineControl;
class KnowledgeStore;
class TaskPool;
class OnboardingWindow;

// The settings, knowledge and getting-started windows, made on first use and shown on demand.
// The settings and knowledge windows are destroyed when closed, and made anew after every save
// of the settings, so they are built in the language just chosen.
class AppWindows : public QObject {
    Q_OBJECT

public:
    struct Services {
        std::shared_ptr<EngineControl> engines;
        std::shared_ptr<ActionEngine> actionEngine;
        KnowledgeStore& knowledge;
        TaskPool& tasks;
        Clipboard& clipboard;
    };
    struct Callbacks {
        std::function<void()> settingsSaved;
    };

    AppWindows(Services services, Callbacks callbacks, QObject* parent = nullptr);
    ~AppWindows() override;

    void showSettings();
    void showKnowledge();
    void showOnboarding();
    void showModelPicker();
    bool onboardingShowing() const;
    // Forgets the settings and knowledge windows; the next show builds them anew.
    void renew();

    // The getting-started guide was left once (~/.selvane/onboarded exists).
    static bool hasOnboarded();

private:
    struct Windows;
    // Made on first use.
    OnboardingWindow& onboarding();

    Services m_services;
    Callbacks m_callbacks;
    std::unique_ptr<Windows> m_windows;
};
