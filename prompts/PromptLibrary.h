#pragma once

#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

// Turns an action and its options into the two texts of one run: the system prompt and the
// first user message. Also owns the option catalogues. Stateless; safe on any thread.
class PromptLibrary {
public:
    enum class Creativity { faithful, moderate, creative };

    struct Scenario {
        QString id;
        QString style; // the register to rewrite into
        QString displayName() const;
    };

    struct ExplainMode {
        QString id;
        QString instruction; // appended to the explanation system prompt
        QString displayName() const;
    };

    struct TranslateDirection {
        QString id; // the target language, or "auto" to decide from the text
        QString displayName() const;
    };

    // Catalogues, in menu order.
    static const QList<Creativity>& creativities();
    static const QList<Scenario>& scenarios();
    static const QList<ExplainMode>& explainModes();
    static const QStringList& translateDirectionIds();
    static const QList<TranslateDirection>& translateDirections();

    static QString rawValue(Creativity creativity);
    static std::optional<Creativity> creativity(const QString& rawValue);
    static QString displayName(Creativity creativity);
    static QString preamble(Creativity creativity);

    // Lookups with their fallbacks: unlisted ids give general and plain.
    static Scenario scenario(const QString& id);
    static ExplainMode explainMode(const QString& id);
    // The language name the translation prompt names for a target; none for "auto" or an unlisted id.
    static std::optional<QString> targetLanguageName(const QString& id);

    static QString rewriteSystem(const QString& scenarioId, Creativity creativity);
    static QString explainSystem(const QString& modeId);

    // "auto" becomes "en" for Chinese (and Japanese, Korean, letter-less) text and "zh" for
    // anything else; every other id is returned as it is.
    static QString resolveDirection(const QString& direction, const QString& sampleText);
    static QString translateSystem(const QString& direction);

    static QString plainUserPrompt(const QString& actionKey, const QString& selected);
    // Shows the selection marked with 《》 between the text before and after it; without any
    // context (absent or blank on both sides) it is the plain prompt.
    static QString contextualUserPrompt(const QString& actionKey, const QString& selected,
                                        const std::optional<QString>& before, const std::optional<QString>& after);

    // A follow-up instruction as sent to the engine (the conversation keeps it bare).
    static QString followUpRevisePrompt(const QString& instruction);
};
