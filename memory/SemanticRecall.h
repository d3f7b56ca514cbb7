#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

#include <QSet>
#include <QString>

#include "memory/SentenceEmbedder.h"

// Meaning-based comparison of texts through sentence embeddings: Chinese texts go to the
// Chinese model, all others to the English one. Everything fails open, and a stop request ends
// any call at once with nothing.
class SemanticRecall {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // A missing model is looked up again once this long has passed since the last look-up.
    static constexpr std::chrono::seconds recheckMissingModelAfter{60};

    explicit SemanticRecall(std::shared_ptr<SentenceEmbedder> embedder, Clock clock = std::chrono::steady_clock::now);

    // A Chinese or an English model can be obtained. A model found is kept until
    // forgetAvailability; "no model" stands for recheckMissingModelAfter, so a popup costs no
    // look-up while a service started later is still noticed. A stopped look-up decides nothing.
    bool isAvailable(std::stop_token stop = {});
    bool zhAvailable(std::stop_token stop = {});

    // The next call looks every model up again (the service or the model setting changed). A
    // look-up already running when this is called is not kept.
    void forgetAvailability();

    // The text, trimmed, as a vector of its language's model; nothing for an empty text, a
    // missing model or a failed request.
    std::optional<Embedding> embed(const QString& text, std::stop_token stop = {});

    // The cosine of the two texts' vectors; nothing when either cannot be embedded.
    std::optional<double> similarity(const QString& a, const QString& b, std::stop_token stop = {});

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
    struct Answer {
        bool present;
        std::chrono::steady_clock::time_point at;
    };

    bool hasModel(SentenceEmbedder::Language language, std::stop_token stop);

    std::shared_ptr<SentenceEmbedder> m_embedder;
    const Clock m_clock;
    // Held only while the answers are read or written, never during a look-up.
    std::mutex m_modelLock;
    std::array<std::optional<Answer>, 2> m_models;
    unsigned m_generation = 0; // counts forgetAvailability calls
};
