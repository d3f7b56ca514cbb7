#pragma once

#include <QString>

// Thinking models may open their answer with a <think>…</think> block. It is not part of the
// answer: this filter hides it from the streamed fragments, also when its tags arrive split
// across fragments, together with the blank lines that follow it. Text that does not open
// with the block passes unchanged.
class ThinkFilter {
public:
    // The part of the fragment that is answer text (possibly empty, while undecided).
    QString feed(const QString& fragment);
    // At the end of the stream: text still held back because it looked like the start of a
    // block but never became one. An unclosed block stays hidden.
    QString finish();

    // The whole answer without an opening block.
    static QString strip(const QString& answer);

private:
    enum class State { opening, thinking, afterThinking, passing };

    QString afterBlock(const QString& text);

    State m_state = State::opening;
    QString m_held;
};
