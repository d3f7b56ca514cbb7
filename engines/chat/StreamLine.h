#pragma once

#include <QString>

// What one line of a streamed answer says.
struct StreamLine {
    enum class Kind { delta, error, done, ignore };

    Kind kind = Kind::ignore;
    QString text; // the fragment (delta) or the message (error)
    // The line carries the answer's end marker (Ollama's "done": true, a provider's "[DONE]" or
    // finish_reason). An answer is complete only once such a line arrived; a stream that closes
    // before is cut off, however cleanly it closes.
    bool endsAnswer = false;

    static StreamLine delta(const QString& text, bool endsAnswer = false) { return {Kind::delta, text, endsAnswer}; }
    static StreamLine error(const QString& text) { return {Kind::error, text, false}; }
    static StreamLine done() { return {Kind::done, {}, true}; }
    static StreamLine ignore(bool endsAnswer = false) { return {Kind::ignore, {}, endsAnswer}; }

    bool operator==(const StreamLine&) const = default;
};
