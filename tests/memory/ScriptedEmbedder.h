#pragma once

#include <atomic>
#include <mutex>

#include <QHash>
#include <QStringList>

#include "memory/SentenceEmbedder.h"

// An embedding service whose models and vectors the test decides; it records what it was asked.
class ScriptedEmbedder final : public SentenceEmbedder {
public:
    std::atomic<bool> chineseModel = true;
    std::atomic<bool> englishModel = true;
    QHash<QString, Embedding> vectors; // by trimmed text; other texts get no vector
    std::atomic<int> modelLookups{0};

    // A stopped look-up finds nothing, as a real one would.
    bool hasModel(Language language, std::stop_token stop) override
    {
        ++modelLookups;
        return !stop.stop_requested() && (language == Language::simplifiedChinese ? chineseModel : englishModel);
    }

    std::optional<Embedding> vector(Language, const QString& text, std::stop_token) override
    {
        std::lock_guard lock(m_mutex);
        m_requested.append(text);
        const auto it = vectors.constFind(text);
        return it == vectors.constEnd() ? std::nullopt : std::optional<Embedding>(*it);
    }

    QStringList requested()
    {
        std::lock_guard lock(m_mutex);
        return m_requested;
    }

private:
    std::mutex m_mutex;
    QStringList m_requested;
};
