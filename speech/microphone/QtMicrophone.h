#pragma once

#include <memory>

#include <QObject>
#include <QTimer>

#include "speech/Microphone.h"

class QAudioSource;

// The desktop's default audio input through Qt Multimedia (PulseAudio or PipeWire's Pulse
// server), asked for 16 kHz mono so the server does the resampling. A device that vanishes
// while recording gives no signal at all, only silence on the wire, so a watchdog reports the
// microphone lost when no audio has arrived for `silenceLimitMs`.
class QtMicrophone final : public QObject, public Microphone {
    Q_OBJECT

public:
    static constexpr int silenceLimitMs = 1500;

    explicit QtMicrophone(QObject* parent = nullptr);
    ~QtMicrophone() override;

    bool start(AudioCallback onAudio, LostCallback onLost) override;
    void stop() override;

private:
    void deliver(const QByteArray& samples);
    void lose();

    std::unique_ptr<QAudioSource> m_source;
    QTimer m_watchdog;
    AudioCallback m_onAudio;
    LostCallback m_onLost;
};
