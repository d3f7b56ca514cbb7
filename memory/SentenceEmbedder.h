#pragma once

#include <optional>
#include <stop_token>
#include <vector>

#include <QString>

using Embedding = std::vector<double>;

// A sentence-embedding service with a model per language. Implementations fail open: no model,
// no server, a stop request or any error is "no model" or "no vector", never an exception.
class SentenceEmbedder {
public:
    enum class Language { simplifiedChinese, english };

    virtual ~SentenceEmbedder() = default;

    // Whether a model for the language can be obtained. May be slow (it may ask a server), so a
    // stop request must end it at once.
    virtual bool hasModel(Language language, std::stop_token stop) = 0;

    // The text's vector from the language's model; nothing when there is none.
    virtual std::optional<Embedding> vector(Language language, const QString& text, std::stop_token stop) = 0;
};

// The service where none is installed: every answer is "no model".
class NoSentenceEmbedder final : public SentenceEmbedder {
public:
    bool hasModel(Language, std::stop_token) override { return false; }
    std::optional<Embedding> vector(Language, const QString&, std::stop_token) override { return std::nullopt; }
};
