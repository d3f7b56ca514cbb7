#include "popup/ActionSession.h"

#include <algorithm>

#include <QPointer>

#include "memory/RecallBanner.h"
#include "platform/Workspace.h"
#include "popup/ActionEngine.h"
#include "popup/ErrorLines.h"
#include "popup/SelectionMarks.h"
#include "profile/ProfileEngine.h"
#include "prompts/PromptLibrary.h"
#include "settings/L10n.h"
#include "settings/SettingsStore.h"

namespace {

const QString userRole = QStringLiteral("user");

}

ActionSession::ActionSession(std::shared_ptr<ActionEngine> engine, KnowledgeStore& store, TaskPool& tasks,
                             Workspace& workspace, QObject* parent)
    : QObject(parent)
    , m_engine(std::move(engine))
    , m_store(store)
    , m_workspace(workspace)
    , m_tasks(tasks)
{
}

ActionSession::~ActionSession()
{
    m_run.request_stop();
    m_recall.request_stop();
    m_profile.request_stop();
}

void ActionSession::open(const QString& selectedText, const QList<PopupAction>& actions,
                         std::shared_ptr<ActionOptions> options, std::optional<qint64> targetPid, SourceKind sourceKind)
{
    close();
    m_selectedText = selectedText;
    m_actions = actions;
    m_options = std::move(options);
    m_targetPid = targetPid;
    m_sourceKind = sourceKind;
    lookUpRecall();
}

void ActionSession::close()
{
    cancelRun();
    m_recall.request_stop();
    m_selectedText.clear();
    m_actions.clear();
    m_options.reset();
    m_targetPid.reset();
    m_sourceKind = SourceKind::selection;
    m_recallHit.reset();
    m_activeActionKey.reset();
    m_currentSystemPrompt.clear();
    m_currentEngineLocal = true;
    m_currentResult.clear();
    m_currentEntryId.reset();
    m_inConversation = false;
    m_conversation.clear();
    m_streaming = false;
    m_streamBuffer.clear();
    m_firstDeltaArrived = false;
}

void ActionSession::runAction(int index)
{
    if (index < 0 || index >= m_actions.size())
        return;
    cancelRun();
    const PopupAction action = m_actions[index];
    m_activeActionKey = action.actionKey;
    m_currentSystemPrompt = action.systemPrompt;
    m_currentEngineLocal = action.useLocal;
    // The actions view replaces the conversation while a fresh first answer is on its way.
    m_inConversation = false;
    resetStream();
    Q_EMIT runStarted(action.title);
    startStream(action.useLocal,
                {ChatMessage::system(action.systemPrompt), ChatMessage::user(action.initialUserPrompt)},
                [action](ActionSession& session, const ChatResult& result) {
                    session.finishRun(action.actionKey, action.initialUserPrompt,
                                      session.cleanedAnswer(result, action.useLocal));
                });
}

void ActionSession::replaceActionsAndRerun(const QList<PopupAction>& actions, const QString& actionKey)
{
    m_actions = actions;
    const auto match = std::find_if(m_actions.cbegin(), m_actions.cend(),
                                    [&actionKey](const PopupAction& action) { return action.actionKey == actionKey; });
    if (match != m_actions.cend())
        runAction(int(match - m_actions.cbegin()));
}

bool ActionSession::sendInstruction(const QString& instruction)
{
    const QString text = instruction.trimmed();
    if (!m_inConversation || text.isEmpty())
        return false;
    cancelRun();
    // An instruction whose revision was just cancelled got no answer: this one replaces it.
    if (m_conversation.size() > 1 && m_conversation.last().role == userRole)
        m_conversation.removeLast();
    m_conversation.append(ChatMessage::user(text));
    const int answers = int(std::count_if(m_conversation.cbegin(), m_conversation.cend(),
                                          [](const ChatMessage& m) { return m.role != userRole; }));
    resetStream();
    Q_EMIT revisionStarted(answers + 1);

    ChatMessages messages = {ChatMessage::system(m_currentSystemPrompt)};
    messages.append(m_conversation);
    messages.last().content = PromptLibrary::followUpRevisePrompt(text);
    const bool useLocal = m_currentEngineLocal;
    startStream(useLocal, messages, [useLocal](ActionSession& session, const ChatResult& result) {
        session.finishRevision(session.cleanedAnswer(result, useLocal));
    });
    return true;
}

std::optional<bool> ActionSession::toggleFavorite()
{
    if (!m_currentEntryId)
        return std::nullopt;
    return m_store.toggleFavorite(*m_currentEntryId);
}

ActionSession::Collected ActionSession::collectSelection()
{
    if (m_selectedText.trimmed().isEmpty())
        return Collected::blank;
    const QString source = m_sourceKind == SourceKind::ocr ? L10n::t("popup.collect.source.ocr")
                                                           : L10n::t("popup.collect.source.selection");
    return m_store.addCollection(m_selectedText, source, sourceAppName()) ? Collected::saved : Collected::failed;
}

std::optional<ActionSession::RecalledAnswer> ActionSession::showRecalledAnswer()
{
    if (!m_recallHit)
        return std::nullopt;
    cancelRun();
    m_streaming = false;
    const KnowledgeEntry& entry = m_recallHit->latest;
    m_currentResult = RecallBanner::rememberedAnswer(entry);
    m_currentEntryId.reset();
    m_inConversation = false;
    return RecalledAnswer{m_currentResult, RecallBanner::memoryStatus(entry)};
}

QList<ActionSession::TranscriptEntry> ActionSession::transcript() const
{
    QList<TranscriptEntry> entries;
    int answers = 0;
    for (qsizetype i = 0; i < m_conversation.size(); ++i) {
        const ChatMessage& message = m_conversation[i];
        if (message.role == userRole) {
            if (i > 0)
                entries.append({TranscriptEntry::Kind::instruction, 0, message.content});
        } else {
            entries.append({TranscriptEntry::Kind::answer, ++answers, message.content});
        }
    }
    return entries;
}

QString ActionSession::sourceAppName() const
{
    if (!m_targetPid || !m_workspace.isRunning(*m_targetPid))
        return {};
    return m_workspace.localizedName(*m_targetPid);
}

void ActionSession::startStream(bool useLocal, const ChatMessages& messages,
                                std::function<void(ActionSession&, const ChatResult&)> done)
{
    m_run = std::stop_source();
    m_running = true;
    const std::stop_token stop = m_run.get_token();
    const QPointer<QObject> self(this);
    m_tasks.run(
        this,
        [this, engine = m_engine, useLocal, messages, stop, self](std::stop_token task) {
            const DeltaHandler onDelta = [this, &self, &stop](const QString& fragment) {
                TaskPool::toGui(
                    self, [this, fragment] { appendStreamDelta(fragment); }, stop);
            };
            return engine->runChatStream(useLocal, messages, onDelta, task);
        },
        [this, done = std::move(done)](const ChatResult& result) {
            m_running = false;
            done(*this, result);
        },
        stop);
}

void ActionSession::cancelRun()
{
    m_run.request_stop();
    m_running = false;
}

void ActionSession::resetStream()
{
    m_streaming = true;
    m_streamBuffer.clear();
    m_firstDeltaArrived = false;
}

void ActionSession::appendStreamDelta(const QString& fragment)
{
    if (!m_streaming)
        return;
    if (!m_firstDeltaArrived) {
        m_firstDeltaArrived = true;
        Q_EMIT generating();
    }
    m_streamBuffer += fragment;
    Q_EMIT deltaAppended(fragment);
}

void ActionSession::endStreaming()
{
    m_streaming = false;
}

ChatResult ActionSession::cleanedAnswer(const ChatResult& result, bool useLocal) const
{
    if (!result.ok())
        return result;
    const QString answer = stripSelectionMarks(result.answer);
    // An answer that was nothing but selection marks is no answer.
    if (answer.isEmpty())
        return ChatResult::failed(useLocal ? ChatFailure(QwenError::emptyResponse())
                                           : ChatFailure(CloudError::emptyResponse()));
    return ChatResult::success(answer);
}

void ActionSession::finishRun(const QString& actionKey, const QString& initialUserPrompt, const ChatResult& result)
{
    if (result.ok()) {
        endStreaming();
        m_conversation = {ChatMessage::user(initialUserPrompt), ChatMessage::assistant(result.answer)};
        rememberFirstResult(actionKey, result.answer);
        enterConversation(result.answer);
        return;
    }
    const QString message = ErrorLines::humanize(*result.failure);
    m_streaming = false;
    // A failed run has no answer to replace or copy, not even the part of it that streamed in.
    m_currentResult.clear();
    if (m_firstDeltaArrived) {
        Q_EMIT runFailed(message, true);
        return;
    }
    m_inConversation = false;
    m_activeActionKey.reset();
    Q_EMIT runFailed(message, false);
}

void ActionSession::finishRevision(const ChatResult& result)
{
    if (result.ok()) {
        endStreaming();
        m_conversation.append(ChatMessage::assistant(result.answer));
        if (m_currentEntryId && !m_store.updateResult(*m_currentEntryId, result.answer))
            Q_EMIT storeFailed(L10n::t("popup.memoryWriteFailed"));
        enterConversation(result.answer);
        return;
    }
    m_streaming = false;
    // A failed instruction leaves no trace, so it can be sent again.
    if (m_conversation.size() > 1 && m_conversation.last().role == userRole)
        m_conversation.removeLast();
    Q_EMIT revisionFailed(ErrorLines::humanize(*result.failure));
}

void ActionSession::enterConversation(const QString& latest)
{
    m_inConversation = true;
    m_currentResult = latest;
    Q_EMIT answered(latest);
}

void ActionSession::rememberFirstResult(const QString& actionKey, const QString& result)
{
    if (!SettingsStore::load().autoRemember)
        return;
    // A rerun of the same action rewrites its entry instead of adding another.
    if (m_currentEntryId) {
        if (std::optional<KnowledgeEntry> entry = m_store.entry(*m_currentEntryId);
            entry && entry->action == actionKey) {
            entry->resultText = result;
            if (!m_store.update(*entry))
                Q_EMIT storeFailed(L10n::t("popup.memoryWriteFailed"));
            return;
        }
    }
    m_currentEntryId = m_store.add(actionKey, m_selectedText, result, sourceAppName());
    if (!m_currentEntryId) {
        Q_EMIT storeFailed(L10n::t("popup.memoryWriteFailed"));
        return;
    }
    maybeRegenerateProfile();
}

void ActionSession::maybeRegenerateProfile()
{
    // One regeneration at a time: a second one would only repeat the first.
    if (m_profileRunning || !ProfileEngine::regenerationDue(SettingsStore::load().profileEnabled, m_store.count()))
        return;
    m_profileRunning = true;
    m_tasks.run(
        this,
        [engine = m_engine, store = &m_store](std::stop_token task) {
            ProfileEngine::regenerate(*store, engine->profileChat(task), task);
        },
        [this] {
            m_profileRunning = false;
            Q_EMIT profileRegenerationFinished();
        },
        m_profile.get_token());
}

void ActionSession::lookUpRecall()
{
    m_recall = std::stop_source();
    m_tasks.run(
        this, [store = &m_store, text = m_selectedText](std::stop_token task) { return store->recall(text, {}, task); },
        [this](const std::optional<KnowledgeStore::RecallHit>& hit) {
            m_recallHit = hit;
            Q_EMIT recallReady();
        },
        m_recall.get_token());
}
