#pragma once

#include <QString>

// What one line of a streamed answer says.
struct StreamLine {
    enum class Kind { delta, error, done, ignore };

    Kind kind = Kind::ignore;
    QString text; // the fragment (delta) or the message (error)

    static StreamLine delta(const QString& text) { return {Kind::delta, text}; }
    static StreamLine error(const QString& text) { return {Kind::error, text}; }
    static StreamLine done() { return {Kind::done, {}}; }
    static StreamLine ignore() { return {Kind::ignore, {}}; }

    bool operator==(const StreamLine&) const = default;
};
