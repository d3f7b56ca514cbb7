#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QSet>
#include <QString>

#include "memory/SentenceEmbedder.h"

// Meaning-based comparison of texts through sentence embeddings: Chinese texts go to the
// Chinese model, all others to the English one. Everything fails open.
class SemanticRecall {
public:
    explicit SemanticRecall(std::shared_ptr<SentenceEmbedder> embedder);

    // A Chinese or an English model can be obtained. The first answer per language is kept for
    // the life of this object, so a missing model costs one look-up, not one per popup.
    bool isAvailable();
    bool zhAvailable();

    // The text, trimmed, as a vector of its language's model; nothing for an empty text, a
    // missing model or a failed request.
    std::optional<Embedding> embed(const QString& text);

    // The cosine of the two texts' vectors; nothing when either cannot be embedded.
    std::optional<double> similarity(const QString& a, const QString& b);

    // Any scalar in the CJK ideograph, compatibility or extension A blocks, or Japanese kana.
    static bool containsCJK(const QString& text);

    // The characters of the text holding a scalar in U+4E00–U+9FFF: two CJK texts that share
    // none of them are not worth comparing.
    static QSet<QString> hanSet(const QString& text);

    // Whether texts share a character of the query's Han set, answered for thousands of texts:
    // a text without any of the query's Han scalars is rejected at once, and only the others
    // are split into characters.
    class HanFilter {
    public:
        explicit HanFilter(const QString& query);
        bool sharesCharacterWith(const QString& text) const;

    private:
        QSet<QString> m_characters;
        std::vector<bool> m_scalars; // the query's Han scalars, indexed from U+4E00
    };

    // 0 for an empty vector, vectors of different lengths or a zero vector; never divides by zero.
    static double cosine(const Embedding& a, const Embedding& b);

private:
    bool hasModel(SentenceEmbedder::Language language);

    std::shared_ptr<SentenceEmbedder> m_embedder;
    std::mutex m_modelLock;
    std::array<std::optional<bool>, 2> m_models;
};
