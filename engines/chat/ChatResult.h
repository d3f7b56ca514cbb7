#pragma once

#include <functional>
#include <optional>
#include <variant>

#include <QString>

#include "engines/chat/CloudError.h"
#include "engines/chat/QwenError.h"
#include "engines/http/TransportError.h"

// The calling task was cancelled. Never shown to the user.
struct Cancelled {
    bool operator==(const Cancelled&) const = default;
};

// Why an engine call gave no answer: the client's own error, a transport failure passed through
// unchanged, or cancellation.
using ChatFailure = std::variant<QwenError, CloudError, TransportError, Cancelled>;

// The outcome of one call of an engine client.
struct ChatResult {
    QString answer; // the whole answer, trimmed; empty on failure
    std::optional<ChatFailure> failure;

    static ChatResult success(const QString& answer) { return {answer, std::nullopt}; }
    static ChatResult failed(const ChatFailure& failure) { return {{}, failure}; }

    bool ok() const { return !failure; }
    bool cancelled() const { return failure && std::holds_alternative<Cancelled>(*failure); }

    // The failure of type E, or nullptr: result.error<CloudError>(), result.error<TransportError>() …
    template <class E>
    const E* error() const
    {
        return failure ? std::get_if<E>(&*failure) : nullptr;
    }

    // The failure's description; empty when the call succeeded or was cancelled.
    QString description() const;
};

// Receives each fragment of a streamed answer, on the task that reads the stream.
using DeltaHandler = std::function<void(const QString& fragment)>;
