#include "memory/KnowledgeStore.h"

#include "core/Graphemes.h"
#include "memory/SemanticRecall.h"

QString KnowledgeStore::normalize(const QString& text)
{
    return text.simplified().toLower();
}

std::optional<KnowledgeStore::RecallHit> KnowledgeStore::recall(const QString& text, const QString& excluding,
                                                                std::stop_token stop)
{
    const QString normalized = normalize(text);
    if (!Graphemes::atLeast(normalized, 2))
        return std::nullopt;
    {
        std::lock_guard lock(m_mutex);
        if (std::optional<RecallHit> hit = exactRecallLocked(normalized, excluding))
            return hit;
    }
    return semanticRecall(text, excluding, stop);
}

std::optional<KnowledgeStore::RecallHit> KnowledgeStore::exactRecallLocked(const QString& normalized,
                                                                           const QString& excluding) const
{
    RecallHit hit;
    for (const Slot& stored : m_entries) {
        const QString& source = stored->normalizedSource;
        const KnowledgeEntry& entry = stored->entry;
        if (!stored->recallable || entry.id == excluding)
            continue;
        if (!source.contains(normalized) && !normalized.contains(source))
            continue;
        if (hit.count == 0 || entry.updatedAt > hit.latest.updatedAt)
            hit.latest = entry;
        ++hit.count;
    }
    if (hit.count == 0)
        return std::nullopt;
    return hit;
}

QList<KnowledgeEntry> KnowledgeStore::semanticCandidatesLocked(const QString& excluding) const
{
    QList<KnowledgeEntry> candidates;
    for (const Slot& stored : m_entries) {
        if (stored->recallable && stored->entry.id != excluding)
            candidates.append(stored->entry);
    }
    return candidates;
}

std::optional<Embedding> KnowledgeStore::cachedEmbedding(const QString& sourceText, std::stop_token stop)
{
    {
        std::lock_guard lock(m_embedCacheLock);
        const auto it = m_sourceEmbedCache.constFind(sourceText);
        if (it != m_sourceEmbedCache.constEnd())
            return *it;
    }
    std::optional<Embedding> vector = m_semantic.embed(sourceText, stop);
    if (vector) {
        std::lock_guard lock(m_embedCacheLock);
        m_sourceEmbedCache.insert(sourceText, *vector);
    }
    return vector;
}

std::optional<KnowledgeStore::RecallHit> KnowledgeStore::semanticRecall(const QString& text, const QString& excluding,
                                                                        std::stop_token stop)
{
    if (!m_semantic.isAvailable(stop))
        return std::nullopt;
    const std::optional<Embedding> query = m_semantic.embed(text, stop);
    if (!query)
        return std::nullopt;
    QList<KnowledgeEntry> candidates;
    {
        std::lock_guard lock(m_mutex);
        candidates = semanticCandidatesLocked(excluding);
    }
    // A CJK query is compared only with texts sharing at least one Han character with it, so most
    // candidates never need a vector.
    const bool cjk = SemanticRecall::containsCJK(text);
    const SemanticRecall::HanFilter sharesHan(cjk ? text : QString());
    double bestScore = -1.0;
    const KnowledgeEntry* best = nullptr;
    for (const KnowledgeEntry& candidate : candidates) {
        if (stop.stop_requested())
            return std::nullopt;
        if (cjk && !sharesHan.sharesCharacterWith(candidate.sourceText))
            continue;
        const std::optional<Embedding> vector = cachedEmbedding(candidate.sourceText, stop);
        if (!vector)
            continue;
        const double score = SemanticRecall::cosine(*query, *vector);
        if (score > bestScore) {
            bestScore = score;
            best = &candidate;
        }
    }
    if (!best || bestScore < semanticThreshold || stop.stop_requested())
        return std::nullopt;
    return RecallHit{1, *best, true};
}
