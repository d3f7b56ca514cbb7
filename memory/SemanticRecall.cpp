#include "memory/SemanticRecall.h"

#include <algorithm>
#include <cmath>

#include "core/Graphemes.h"

namespace {

constexpr char32_t kFirstHan = 0x4E00;
constexpr char32_t kLastHan = 0x9FFF;

bool isHan(char32_t c)
{
    return c >= kFirstHan && c <= kLastHan;
}

bool isCJK(char32_t c)
{
    return isHan(c) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x3040 && c <= 0x30FF);
}

template <typename Predicate>
bool anyScalar(const QString& text, Predicate predicate)
{
    for (const char32_t c : text.toUcs4()) {
        if (predicate(c))
            return true;
    }
    return false;
}

}

SemanticRecall::SemanticRecall(std::shared_ptr<SentenceEmbedder> embedder, Clock clock)
    : m_embedder(std::move(embedder))
    , m_clock(std::move(clock))
{
}

bool SemanticRecall::hasModel(SentenceEmbedder::Language language, std::stop_token stop)
{
    const auto index = static_cast<size_t>(language);
    unsigned generation = 0;
    {
        std::lock_guard lock(m_modelLock);
        const std::optional<Answer>& known = m_models[index];
        if (known && (known->present || m_clock() - known->at < recheckMissingModelAfter))
            return known->present;
        generation = m_generation;
    }
    // Two threads may look the same model up at once; the later answer wins.
    const bool present = m_embedder->hasModel(language, stop);
    if (stop.stop_requested())
        return false;
    std::lock_guard lock(m_modelLock);
    if (generation == m_generation)
        m_models[index] = Answer{present, m_clock()};
    return present;
}

void SemanticRecall::forgetAvailability()
{
    std::lock_guard lock(m_modelLock);
    m_models = {};
    ++m_generation;
}

bool SemanticRecall::zhAvailable(std::stop_token stop)
{
    return hasModel(SentenceEmbedder::Language::simplifiedChinese, std::move(stop));
}

bool SemanticRecall::isAvailable(std::stop_token stop)
{
    return zhAvailable(stop) || hasModel(SentenceEmbedder::Language::english, stop);
}

std::optional<Embedding> SemanticRecall::embed(const QString& text, std::stop_token stop)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const auto language =
        containsCJK(trimmed) ? SentenceEmbedder::Language::simplifiedChinese : SentenceEmbedder::Language::english;
    if (!hasModel(language, stop))
        return std::nullopt;
    std::optional<Embedding> vector = m_embedder->vector(language, trimmed, stop);
    if (!vector || vector->empty())
        return std::nullopt;
    return vector;
}

std::optional<double> SemanticRecall::similarity(const QString& a, const QString& b, std::stop_token stop)
{
    const std::optional<Embedding> first = embed(a, stop);
    if (!first)
        return std::nullopt;
    const std::optional<Embedding> second = embed(b, stop);
    if (!second)
        return std::nullopt;
    return cosine(*first, *second);
}

bool SemanticRecall::containsCJK(const QString& text)
{
    return anyScalar(text, isCJK);
}

QSet<QString> SemanticRecall::hanSet(const QString& text)
{
    QSet<QString> set;
    for (const QString& character : Graphemes::split(text)) {
        if (anyScalar(character, isHan))
            set.insert(character);
    }
    return set;
}

SemanticRecall::HanFilter::HanFilter(const QString& query)
    : m_characters(hanSet(query))
    , m_scalars(kLastHan - kFirstHan + 1, false)
{
    for (const char32_t c : query.toUcs4()) {
        if (isHan(c))
            m_scalars[c - kFirstHan] = true;
    }
}

bool SemanticRecall::HanFilter::sharesCharacterWith(const QString& text) const
{
    // The Han block lies in the basic plane, so each of its scalars is one UTF-16 unit.
    const bool sharesScalar = std::any_of(text.cbegin(), text.cend(), [this](QChar unit) {
        return isHan(unit.unicode()) && m_scalars[unit.unicode() - kFirstHan];
    });
    return sharesScalar && hanSet(text).intersects(m_characters);
}

double SemanticRecall::cosine(const Embedding& a, const Embedding& b)
{
    if (a.empty() || a.size() != b.size())
        return 0;
    double dot = 0;
    double normA = 0;
    double normB = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        dot += a[i] * b[i];
        normA += a[i] * a[i];
        normB += b[i] * b[i];
    }
    if (normA <= 0 || normB <= 0)
        return 0;
    return dot / (std::sqrt(normA) * std::sqrt(normB));
}
