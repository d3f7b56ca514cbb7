#pragma once

#include <QStringList>

#include "speech/Microphone.h"
#include "speech/SpeechInput.h"
#include "tests/support/EventLoop.h"

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

// A dictation with the given recogniser and a fake microphone, recording what it reports.
struct RecordedDictation {
    explicit RecordedDictation(std::unique_ptr<SpeechRecognizer> recognizer)
        : speech(std::move(recognizer), std::unique_ptr<Microphone>(microphone))
    {
    }
    void start()
    {
        speech.start([this](const QString& text) { partials.append(text); },
                     [this](const QString& sentence) { errors.append(sentence); });
    }
    bool waitForError()
    {
        return processEventsUntil([this] { return !errors.isEmpty(); }, 20000);
    }

    FakeMicrophone* microphone = new FakeMicrophone;
    SpeechInput speech;
    QStringList partials;
    QStringList errors;
};
