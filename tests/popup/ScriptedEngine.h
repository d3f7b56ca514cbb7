#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>

#include <QList>
#include <QStringList>

#include "popup/ActionEngine.h"

// An engine whose answers the test writes in advance, one script per call, and which records
// what it was asked. The session calls it on its own tasks, so everything here is locked.
class ScriptedEngine final : public ActionEngine {
public:
    struct Script {
        QStringList fragments{};
        std::optional<ChatFailure> failure{}; // reported after the fragments
        bool holdUntilStopped = false;        // after the fragments, wait to be cancelled, then try one more
        std::optional<QString> answer{};      // the whole answer; the fragments joined when absent
        bool deaf = false;                    // after the fragments, ignore the cancel until releaseDeaf()

        static Script streamed(const QStringList& fragments) { return {.fragments = fragments}; }
        static Script failing(const ChatFailure& failure, const QStringList& fragments = {})
        {
            return {.fragments = fragments, .failure = failure};
        }
        static Script held(const QStringList& fragments) { return {.fragments = fragments, .holdUntilStopped = true}; }
        static Script answering(const QString& answer) { return {.answer = answer}; }
        static Script deafTo(const QStringList& fragments) { return {.fragments = fragments, .deaf = true}; }
    };

    struct Call {
        bool useLocal = true;
        ChatMessages messages;
    };

    void add(const Script& script);
    QList<Call> calls() const;
    int profileChats() const;
    // Lets a held profile chat answer.
    void releaseProfileChat();
    // Ends a deaf call; whether one gave up waiting for this (after 30 s) instead.
    void releaseDeaf();
    bool deafGaveUp() const;

    bool holdProfileChat = false;
    QString profileReply = QStringLiteral("关注宏观经济，偏好通俗解释");

    ChatResult runChatStream(bool useLocal, const ChatMessages& messages, const DeltaHandler& onDelta,
                             std::stop_token stop) override;
    ProfileEngine::OneShotChat profileChat(std::stop_token) override;

private:
    mutable std::mutex m_mutex;
    std::condition_variable_any m_changed;
    QList<Script> m_scripts;
    QList<Call> m_calls;
    int m_profileChats = 0;
    bool m_profileReleased = false;
    bool m_deafReleased = false;
    bool m_deafGaveUp = false;
};
