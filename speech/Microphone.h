#pragma once

#include <functional>
#include <memory>

#include <QByteArray>

// The default audio input, delivering 16 kHz mono signed 16-bit samples. Main thread only;
// callbacks are called on the main thread.
class Microphone {
public:
    using AudioCallback = std::function<void(const QByteArray& samples)>;
    using LostCallback = std::function<void()>;

    virtual ~Microphone() = default;
    // False when there is no input device or it does not start. onLost is called once when no
    // audio has arrived for a while (a device unplugged, a server gone), after which the
    // microphone is stopped.
    virtual bool start(AudioCallback onAudio, LostCallback onLost) = 0;
    virtual void stop() = 0;

    // The desktop's default input through Qt Multimedia, from a module loaded at the first start
    // (speech/microphone/); a module that cannot be loaded does not start.
    static std::unique_ptr<Microphone> openDefault();
};

// What that module exports; declared here so its definition there must match what is called.
extern "C" __attribute__((visibility("default"))) Microphone* quillo_open_microphone();
