#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QList>
#include <QObject>
#include <QString>

#include "popup/ActionList.h"
#include "ui/Tint.h"

class ActionEngine;
class ActionOptions;
class ActionSession;
class Dictation;
class KnowledgeStore;
class QWidget;
class TaskPool;

// The floating panel next to the pointer: the actions of a selection with their streamed
// answer, the conversation that revises it, short notices and guides with buttons. One panel is
// shown at a time; showing anything first closes what was shown. It never takes the keyboard
// from the application the user works in when it opens; it takes it when the user clicks into
// its input, and after an answer enters the conversation. Escape closes it, also while another
// application is in front. Main thread only.
class PopupPanel : public QObject {
    Q_OBJECT

public:
    // What the panel uses; the references must outlive it.
    struct Services {
        std::shared_ptr<ActionEngine> engine;
        KnowledgeStore& knowledge;
        TaskPool& tasks;
        // Makes the microphone's dictation on first use; empty: no dictation (the button says so).
        std::function<std::unique_ptr<Dictation>()> dictation;
    };

    struct GuideButton {
        QString title;
        std::function<void()> onClick;
    };

    PopupPanel(Services services, QObject* parent = nullptr);
    ~PopupPanel() override;

    // Opens the actions of a new selection next to the pointer; nothing runs until one is picked.
    void showActions(const QString& header, const QString& selectedText, const QList<PopupAction>& actions,
                     std::shared_ptr<ActionOptions> options, std::optional<qint64> targetPid, SourceKind sourceKind);
    // Replaces the actions after an option change and runs the one with that key again.
    void replaceActionsAndRerun(const QList<PopupAction>& actions, const QString& actionKey);
    // A short message: closes on a click, on Escape and by itself after 8 s.
    void show(const QString& header, const QString& body, Tint accent);
    // A message with buttons (the first answers to Return); closes on Escape and ✕ only.
    void showAuthGuide(const QString& header, const QString& body, Tint accent, QList<GuideButton> buttons);
    void close();
    bool isShown() const;

    // Called after every option change with the options already updated: the controller
    // stores them as defaults.
    void setOnOptionsChanged(std::function<void()> callback);
    // Called after an option change with the shown action's key: the controller rebuilds the
    // actions and hands them to replaceActionsAndRerun.
    void setOnActionRerun(std::function<void(const QString& actionKey)> callback);

    // The session the panel draws (tests, benchmarks and the self-check follow its signals).
    ActionSession& session();
    // The panel's window while shown, else nullptr (tests, previews).
    QWidget* window() const;
    // The view inside the window (tests and previews find its controls by accessible name).
    QWidget* content() const;

Q_SIGNALS:
    void shown();
    void closed();

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};
