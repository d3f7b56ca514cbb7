#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

#include <QList>
#include <QObject>
#include <QString>

#include "core/ChatMessage.h"
#include "core/TaskPool.h"
#include "engines/chat/ChatResult.h"
#include "memory/KnowledgeStore.h"
#include "popup/ActionList.h"

class ActionEngine;
class ActionOptions;
class Workspace;

// Everything about one lookup except its drawing: the text and its actions, the one engine run
// that may be live, the streamed fragments, the follow-up conversation with its versions, and
// what is remembered. The popup and `quillo --ask` both drive it and show what its signals say.
//
// Lives on the main thread and is used only there. Engine calls run as background tasks, one at
// a time: a new run or instruction cancels the previous one, silently. Fragments and outcomes come
// back to the main thread; those of a cancelled run, or for a session that is gone, are dropped.
// The tasks run on a pool the session does not own, so closing or destroying it never waits for
// a call that is slow to notice its cancellation.
class ActionSession : public QObject {
    Q_OBJECT

public:
    // One entry of the conversation as shown: the action's own prompt is left out.
    struct TranscriptEntry {
        enum class Kind { answer, instruction };
        Kind kind = Kind::answer;
        int version = 0; // answers: 1 for the first answer, then 2, 3, …; 0 for instructions
        QString text;

        bool operator==(const TranscriptEntry&) const = default;
    };

    // The answer of an earlier lookup, shown without asking an engine.
    struct RecalledAnswer {
        QString text;   // the answer, with the entry's note after a blank line
        QString status; // "From your memory · last <time> (<action>)"
    };

    // What saving the selection to the collection came to.
    enum class Collected { blank, saved, failed };

    // `store` must outlive the pool, and the pool the session's tasks. `workspace` names the
    // application the text came from.
    ActionSession(std::shared_ptr<ActionEngine> engine, KnowledgeStore& store, TaskPool& tasks, Workspace& workspace,
                  QObject* parent = nullptr);
    ~ActionSession() override;

    // Starts over with a new text: cancels what runs, forgets the conversation and the
    // remembered entry, and looks up earlier lookups of the text in the background
    // (recallReady). Nothing runs until runAction.
    void open(const QString& selectedText, const QList<PopupAction>& actions, std::shared_ptr<ActionOptions> options,
              std::optional<qint64> targetPid, SourceKind sourceKind);
    // Cancels what runs and forgets the text; a profile regeneration goes on.
    void close();

    // Runs the action at that index of actions(); an index outside the list does nothing.
    void runAction(int index);
    // Takes the rebuilt actions (after an option change) and runs the first one with that key
    // again; with no such action only the list is replaced.
    void replaceActionsAndRerun(const QList<PopupAction>& actions, const QString& actionKey);
    // Asks for a new version of the answer. Only in the conversation; a blank instruction does
    // nothing. Returns whether it was sent.
    bool sendInstruction(const QString& instruction);

    // Flips the star of the remembered entry; nothing without one.
    std::optional<bool> toggleFavorite();
    // Saves the selected text (not the answer) to the collection with its source label; a blank
    // selection is not stored.
    Collected collectSelection();
    // Cancels what runs and shows the answer of the recall hit; nothing without a hit.
    std::optional<RecalledAnswer> showRecalledAnswer();

    const QString& selectedText() const { return m_selectedText; }
    const QList<PopupAction>& actions() const { return m_actions; }
    const std::shared_ptr<ActionOptions>& options() const { return m_options; }
    SourceKind sourceKind() const { return m_sourceKind; }
    const std::optional<qint64>& targetPid() const { return m_targetPid; }
    const std::optional<KnowledgeStore::RecallHit>& recallHit() const { return m_recallHit; }
    const std::optional<QString>& activeActionKey() const { return m_activeActionKey; }
    // The newest complete answer: what replace and copy use.
    const QString& currentResult() const { return m_currentResult; }
    const std::optional<QString>& currentEntryId() const { return m_currentEntryId; }
    bool inConversation() const { return m_inConversation; }
    // Without the system prompt: the action's prompt, then answers and bare instructions.
    const ChatMessages& conversation() const { return m_conversation; }
    QList<TranscriptEntry> transcript() const;
    bool isRunning() const { return m_running; }
    // All fragments of the live (or last) stream.
    const QString& streamBuffer() const { return m_streamBuffer; }
    bool profileRegenerationRunning() const { return m_profileRunning; }

    // The name of the application the text came from; empty when unknown or gone.
    QString sourceAppName() const;

Q_SIGNALS:
    // The background look-up for earlier lookups ended; recallHit() tells what it found.
    void recallReady();
    // A first answer is being asked for (status: "“title” connecting").
    void runStarted(const QString& title);
    // A revision is being asked for; its answer will carry this version number.
    void revisionStarted(int version);
    // The first fragment of the live stream arrived (status: generating).
    void generating();
    void deltaAppended(const QString& fragment);
    // The stream ended with a complete answer; the conversation holds it (enterConversation).
    void answered(const QString& latest);
    // A first answer failed. With partialKept the streamed text stays; otherwise the actions are
    // offered again with the message in place of the answer.
    void runFailed(const QString& message, bool partialKept);
    // A revision failed; the conversation is as it was before the instruction.
    void revisionFailed(const QString& message);
    void profileRegenerationFinished();
    // An answer could not be written to the knowledge base, so it is not remembered.
    void storeFailed(const QString& message);

private:
    // Starts the engine call of a run or revision; the caller has cancelled the previous one.
    void startStream(bool useLocal, const ChatMessages& messages,
                     std::function<void(ActionSession&, const ChatResult&)> done);
    void cancelRun();
    void resetStream();
    void appendStreamDelta(const QString& fragment);
    void endStreaming();
    // The answer as shown and remembered, or the failure it amounts to.
    ChatResult cleanedAnswer(const ChatResult& result, bool useLocal) const;
    void finishRun(const QString& actionKey, const QString& initialUserPrompt, const ChatResult& result);
    void finishRevision(const ChatResult& result);
    void enterConversation(const QString& latest);
    void rememberFirstResult(const QString& actionKey, const QString& result);
    void maybeRegenerateProfile();
    void lookUpRecall();

    std::shared_ptr<ActionEngine> m_engine;
    KnowledgeStore& m_store;
    Workspace& m_workspace;

    QString m_selectedText;
    QList<PopupAction> m_actions;
    std::shared_ptr<ActionOptions> m_options;
    std::optional<qint64> m_targetPid;
    SourceKind m_sourceKind = SourceKind::selection;
    std::optional<KnowledgeStore::RecallHit> m_recallHit;

    std::optional<QString> m_activeActionKey;
    QString m_currentSystemPrompt;
    bool m_currentEngineLocal = true;
    QString m_currentResult;
    std::optional<QString> m_currentEntryId;
    bool m_inConversation = false;
    ChatMessages m_conversation;

    bool m_streaming = false;
    QString m_streamBuffer;
    bool m_firstDeltaArrived = false;

    bool m_running = false;
    bool m_profileRunning = false;
    std::stop_source m_run;
    std::stop_source m_recall;
    std::stop_source m_profile;
    TaskPool& m_tasks;
};
