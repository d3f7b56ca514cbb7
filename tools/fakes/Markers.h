#pragma once

#include <optional>

#include <QString>

// What a request asks of a fake server, written into its own text as [[word]] or
// [[word:argument]]: the last user message of a chat, the input of an embedding, the name of a
// pulled model. Markers are removed before the text is used, so the answer stays predictable.
struct Markers {
    std::optional<int> failStatus;   // [[fail:STATUS]] or [[fail:STATUS:message]]: refuse with that status
    QString failMessage;             // the message of [[fail:STATUS:message]]; empty: the usual wording
    bool midstream = false;          // [[midstream]]: an error object after half of the stream
    bool drop = false;               // [[drop]]: the connection closes after half of the stream
    std::optional<int> stallSeconds; // [[stall]] or [[stall:SECONDS]]: silence after half of the stream
    bool unfinished = false;         // [[unfinished]]: the stream ends cleanly after half, without its end marker
    std::optional<int>
        keepAliveSeconds;   // [[keepalive:SECONDS]]: only keep-alives for that long after half of the stream
    bool think = false;     // [[think]]: the answer opens with a <think>…</think> block
    bool reasoning = false; // [[reasoning]]: reasoning deltas come first (chat completions)
    bool empty = false;     // [[empty]]: the answer is blank
    bool unknown = false;   // [[unknown]]: the registry has no such model (pull)
    bool newer = false;     // [[newer]]: the model needs a newer server (pull)
    QString text;           // the text without its markers, trimmed

    static Markers parse(const QString& text);
};
