#pragma once

#include <optional>
#include <vector>

#include <QString>

using Embedding = std::vector<double>;

// A sentence-embedding service with a model per language. Implementations fail open: no model,
// no server or any error is "no model" or "no vector", never an exception.
class SentenceEmbedder {
public:
    enum class Language { simplifiedChinese, english };

    virtual ~SentenceEmbedder() = default;

    // Whether a model for the language can be obtained. May be slow (it may ask a server);
    // SemanticRecall asks once per language and keeps the answer.
    virtual bool hasModel(Language language) = 0;

    // The text's vector from the language's model; nothing when there is none.
    virtual std::optional<Embedding> vector(Language language, const QString& text) = 0;
};

// The service where none is installed: every answer is "no model".
class NoSentenceEmbedder final : public SentenceEmbedder {
public:
    bool hasModel(Language) override { return false; }
    std::optional<Embedding> vector(Language, const QString&) override { return std::nullopt; }
};
