#pragma once

#include "speech/Microphone.h"

// A microphone the test speaks into through onAudio, and unplugs through onLost.
struct FakeMicrophone final : Microphone {
    bool works = true;
    int starts = 0;
    AudioCallback onAudio;
    LostCallback onLost;

    bool start(AudioCallback audio, LostCallback lost) override
    {
        ++starts;
        if (works) {
            onAudio = std::move(audio);
            onLost = std::move(lost);
        }
        return works;
    }
    void stop() override { onAudio = nullptr, onLost = nullptr; }
};
