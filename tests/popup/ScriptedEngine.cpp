#include "tests/popup/ScriptedEngine.h"

#include <gtest/gtest.h>

void ScriptedEngine::add(const Script& script)
{
    std::lock_guard lock(m_mutex);
    m_scripts.append(script);
}

QList<ScriptedEngine::Call> ScriptedEngine::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

int ScriptedEngine::profileChats() const
{
    std::lock_guard lock(m_mutex);
    return m_profileChats;
}

void ScriptedEngine::releaseProfileChat()
{
    {
        std::lock_guard lock(m_mutex);
        m_profileReleased = true;
    }
    m_changed.notify_all();
}

void ScriptedEngine::releaseDeaf()
{
    {
        std::lock_guard lock(m_mutex);
        m_deafReleased = true;
    }
    m_changed.notify_all();
}

bool ScriptedEngine::deafGaveUp() const
{
    std::lock_guard lock(m_mutex);
    return m_deafGaveUp;
}

ChatResult ScriptedEngine::runChatStream(bool useLocal, const ChatMessages& messages, const DeltaHandler& onDelta,
                                         std::stop_token stop)
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
        m_deafGaveUp = !m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_deafReleased; });
        return ChatResult::failed(Cancelled{});
    }
    if (script.failure)
        return ChatResult::failed(*script.failure);
    return ChatResult::success(script.answer.value_or(script.fragments.join(QString())));
}

ProfileEngine::OneShotChat ScriptedEngine::profileChat(std::stop_token)
{
    return [this](const ChatMessages&, std::stop_token stop) -> std::optional<QString> {
        std::unique_lock lock(m_mutex);
        ++m_profileChats;
        if (holdProfileChat)
            m_changed.wait(lock, stop, [this] { return m_profileReleased; });
        return profileReply;
    };
}
