#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>

#include <gtest/gtest.h>

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
        bool deaf = false;                    // after the fragments, ignore the cancel until release()

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

    void add(const Script& script)
    {
        std::lock_guard lock(m_mutex);
        m_scripts.append(script);
    }
    QList<Call> calls() const { return locked(m_calls); }
    int profileChats() const { return locked(m_profileChats); }
    // Lets a held profile chat answer and ends a deaf call.
    void release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_changed.notify_all();
    }
    // Whether a deaf call gave up waiting for release() (after 30 s).
    bool deafGaveUp() const { return locked(m_deafGaveUp); }

    bool holdProfileChat = false;

    ChatResult runChatStream(bool useLocal, const ChatMessages& messages, const DeltaHandler& onDelta,
                             std::stop_token stop) override
    {
        Script script;
        {
            std::lock_guard lock(m_mutex);
            m_calls.append({useLocal, messages});
            if (m_scripts.isEmpty()) {
                ADD_FAILURE() << "the engine was called more often than scripted";
                return ChatResult::failed(QwenError::ollamaNotRunning());
            }
            script = m_scripts.takeFirst();
        }
        for (const QString& fragment : script.fragments)
            onDelta(fragment);
        if (script.holdUntilStopped) {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, stop, [] { return false; });
            lock.unlock();
            onDelta(QStringLiteral("[after the cancel]"));
            return ChatResult::failed(Cancelled{});
        }
        if (script.deaf) {
            std::unique_lock lock(m_mutex);
            m_deafGaveUp = !m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_released; });
            return ChatResult::failed(Cancelled{});
        }
        if (script.failure)
            return ChatResult::failed(*script.failure);
        return ChatResult::success(script.answer.value_or(script.fragments.join(QString())));
    }

    ProfileEngine::OneShotChat profileChat(std::stop_token) override
    {
        return [this](const ChatMessages&, std::stop_token stop) -> std::optional<QString> {
            std::unique_lock lock(m_mutex);
            ++m_profileChats;
            if (holdProfileChat)
                m_changed.wait(lock, stop, [this] { return m_released; });
            return QStringLiteral("关注宏观经济，偏好通俗解释");
        };
    }

private:
    template <typename T>
    T locked(const T& value) const
    {
        std::lock_guard lock(m_mutex);
        return value;
    }

    mutable std::mutex m_mutex;
    std::condition_variable_any m_changed;
    QList<Script> m_scripts;
    QList<Call> m_calls;
    int m_profileChats = 0;
    bool m_released = false;
    bool m_deafGaveUp = false;
};
