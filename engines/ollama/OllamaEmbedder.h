#pragma once

#include "memory/SentenceEmbedder.h"

// Sentence vectors from the local Ollama's /api/embed, with the model named by the setting
// embeddingModel. One multilingual model serves both languages. A missing server, a missing
// model or any error is "no model" / "no vector"; requests give up after a few quiet seconds
// rather than holding up recall, and at once when their stop token fires.
class OllamaEmbedder final : public SentenceEmbedder {
public:
    // A model counts as present when it embeds a short probe text.
    bool hasModel(Language language, std::stop_token stop) override;
    std::optional<Embedding> vector(Language language, const QString& text, std::stop_token stop) override;
};
