#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTimer>

#include "capture/PasteWhenBack.h"
#include "platform/PlatformServices.h"
#include "popup/ActionList.h"
#include "popup/ActionSession.h"
#include "popup/view/DictationControl.h"
#include "popup/view/PopupViews.h"
#include "popup/view/StreamPresenter.h"
#include "ui/Tint.h"

class ActionEngine;
class ActionOptions;
class GlassWindow;
class HotKey;
class KnowledgeStore;
class QWidget;
class TaskPool;
class TextArea;

// The floating panel next to the pointer: the actions of a selection with their streamed
// answer, the conversation that revises it, short notices and guides with buttons. One panel is
// shown at a time; showing anything first closes what was shown. Its window is made once and
// kept hidden between showings, so a shortcut shows a ready window; closing drops what was
// shown (the view, the lookup and its engine run) and keeps only the empty window. It never
// takes the keyboard from the application the user works in when it opens; it takes it when the
// user clicks into its input, and after an answer enters the conversation. Escape closes it,
// also while another application is in front. Main thread only.
class PopupPanel : public QObject {
    Q_OBJECT

public:
    // What the panel uses; the references must outlive it.
    struct Services {
        std::shared_ptr<ActionEngine> engine;
        KnowledgeStore& knowledge;
        TaskPool& tasks;
        // Makes the microphone's dictation on first use; empty: no dictation (the button says so).
        DictationControl::Factory dictation;
        // The clipboard for copying, and everything putting an answer back touches: every member
        // set, as Platform::services() has them.
        PlatformServices platform;
        // The size of the panel's text, read whenever something new is shown.
        std::function<qreal()> fontScale;
    };

    // What the panel shows.
    enum class Shown {
        nothing,
        notice,       // a short message
        guide,        // a message with buttons
        actions,      // a new selection's actions; nothing asked yet
        running,      // a first answer streams in
        failed,       // a first answer failed: the actions again, or the part that arrived
        recalled,     // the answer of an earlier lookup
        conversation, // the answer and its revisions, ready for the next instruction
        revising,     // a revision streams into the conversation
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
    Shown showing() const { return m_shown; }

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
    // Shows a built view in the panel, opening it anew, or in place of the one shown.
    void present(PopupViews::Built built, Shown what, bool newPanel, bool clickToClose = false, int autoCloseMs = 0);
    // Grows the panel by that many pixels, its top edge staying where it is.
    void grow(int pixels);
    // Fits the panel to its view after a line appeared or disappeared.
    void refit();
    PopupViews::Handlers handlers();
    PopupViews::Selection selection(bool withOptionRow) const;
    QString recallText() const;
    PopupViews::Built initialActionsView();
    // The conversation view; `streamed` is the area the answer just streamed into, if any.
    void showConversation(const PopupViews::StatusLine& status, bool inputEnabled, Shown what,
                          TextArea* streamed = nullptr);
    void setStatus(const QString& text, Tint tint);

    // What the session says.
    void connectSession();
    void runStarted(const QString& title);
    void revisionStarted(int version);
    void answered();
    void runFailed(const QString& message, bool partialKept);

    // What the user asks for.
    void optionsChanged();
    void sendInstruction();
    void replaceSelection();
    void copyResult();
    void collectSelection();
    void toggleFavorite();
    void showRecalledAnswer();

    Services m_services;
    ActionSession m_session;
    StreamPresenter m_stream;
    DictationControl m_dictation;
    Shown m_shown = Shown::nothing;
    std::unique_ptr<GlassWindow> m_window; // made on the first showing, then kept
    std::unique_ptr<HotKey> m_escapeHotKey;
    QTimer m_autoClose;
    PasteWhenBack m_pasteWhenBack;

    QString m_header;
    qreal m_fontScale = 1.0;
    QSize m_size;
    PopupViews::Controls m_controls;
    QList<GuideButton> m_guideButtons;
    std::function<void()> m_onOptionsChanged;
    std::function<void(const QString&)> m_onActionRerun;
    bool m_favorite = false;
    QString m_storeWarning; // shown instead of "done" once, when an answer could not be remembered
};
