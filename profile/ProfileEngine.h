#pragma once

#include <functional>
#include <optional>
#include <stop_token>

#include <QList>
#include <QString>

#include "core/ChatMessage.h"
#include "memory/KnowledgeEntry.h"

class KnowledgeStore;

// The rules of the learned profile: when to regenerate it, how to ask the model, how to clean
// the reply, and when and how to put it in front of a system prompt. Everything fails silently:
// the old profile, if any, stays in force.
class ProfileEngine {
public:
    static constexpr int minCountToGenerate = 5;
    static constexpr int regenerateStep = 10;
    static constexpr int maxEntriesForGeneration = 30;
    static constexpr int maxProfileChars = 120;

    struct GenerationMessages {
        QString system;
        QString user;
    };

    // The engine's one-shot chat (no streaming): the trimmed reply, or nothing when no engine is
    // ready or anything failed.
    using OneShotChat = std::function<std::optional<QString>(const ChatMessages&, std::stop_token)>;

    // At least 5 entries, and never generated or at least 10 new entries since.
    static bool shouldRegenerate(int count, int lastCount);

    // What a finished answer checks before starting a regeneration in the background: the
    // setting is on and shouldRegenerate holds against the stored profile.
    static bool regenerationDue(bool profileEnabled, int knowledgeCount);

    // The 30 most recent entries (the list in all() order), each shortened to one line.
    static GenerationMessages buildGenerationMessages(const QList<KnowledgeEntry>& entries);

    // The reply as one plain line of at most 120 characters, without markup, labels or wrapping
    // quotes; nothing for a blank reply, a refusal or an attempt to steer later prompts.
    static std::optional<QString> sanitize(const QString& reply);

    // Never for translation, nor when switched off or without a usable profile.
    static bool shouldInject(const QString& actionKey, bool enabled, const std::optional<QString>& profile);
    static QString injectionPreamble(const QString& profile);

    // Generates and stores a new profile from the store's entries when the rules allow; a
    // profile the user edited, before or during the request, is kept.
    static void regenerate(KnowledgeStore& store, const OneShotChat& chat, std::stop_token stop = {});

    // The user's own text (trimmed, possibly empty) becomes the profile and is kept from
    // generation from now on. False when it could not be saved.
    static bool saveUserEdit(const QString& text, int knowledgeCount);

    // Lets the next regeneration replace a profile the user edited (the refresh button).
    static void releaseUserEdit();
};
