#pragma once

#include <functional>

#include <QByteArray>
#include <QString>

// An on-device recogniser of Mandarin speech, driven as a series of recognition tasks: each
// task gets the audio appended while it is current and reports its results to its handler.
// Main thread only; handlers are called on the main thread.
class SpeechRecognizer {
public:
    struct Event {
        enum class Kind {
            partial,    // the text of the current segment so far
            final,      // the segment is complete; the task is done
            unusable,   // the engine or its model could not be loaded
            interrupted // recognition stopped with an error
        };
        Kind kind;
        QString text;
    };
    using Handler = std::function<void(const Event&)>;

    virtual ~SpeechRecognizer() = default;
    // Whether recognition can run on this machine at all: engine and model are in place.
    virtual bool isAvailable() const = 0;
    // Starts a new task; from now on only its handler is called.
    virtual void startTask(Handler handler) = 0;
    // 16 kHz mono signed 16-bit little-endian samples for the current task.
    virtual void appendAudio(const QByteArray& samples) = 0;
    // Ends the current task and lets the engine go; no handler is called afterwards.
    virtual void cancel() = 0;
};
