#pragma once

#include <functional>

#include <QString>

// What the popup's microphone button drives: one dictation at a time. Both callbacks run on the
// main thread; onPartial gets the whole transcript so far, onError one sentence to show as it is,
// after which the dictation has ended.
class Dictation {
public:
    using TextCallback = std::function<void(const QString&)>;

    virtual ~Dictation() = default;
    // Ignored while running.
    virtual void start(TextCallback onPartial, TextCallback onError) = 0;
    // Ignored unless running; no callback fires afterwards.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
};
