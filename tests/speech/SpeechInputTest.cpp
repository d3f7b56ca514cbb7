#include <gtest/gtest.h>

#include "speech/SpeechRecognizer.h"
#include "tests/speech/RecordedDictation.h"

namespace {

using Kind = SpeechRecognizer::Event::Kind;

// A recogniser whose results the test speaks, to any task, including ones already replaced.
struct ScriptedRecognizer final : SpeechRecognizer {
    bool available = true;
    QList<Handler> tasks;
    QByteArray audio;
    int cancels = 0;

    bool isAvailable() const override { return available; }
    void startTask(Handler handler) override { tasks.append(std::move(handler)); }
    void appendAudio(const QByteArray& samples) override { audio += samples; }
    void cancel() override { ++cancels; }
    void say(Kind kind, const QString& text = {}, qsizetype task = -1)
    {
        const Handler handler = tasks.at(task < 0 ? tasks.size() - 1 : task);
        handler({kind, text});
    }
};

class SpeechInputTest : public ::testing::Test {
protected:
    ScriptedRecognizer* recognizer = new ScriptedRecognizer;
    RecordedDictation dictation{std::unique_ptr<SpeechRecognizer>(recognizer)};
    FakeMicrophone* microphone = dictation.microphone;
    SpeechInput& speech = dictation.speech;
    QStringList& partials = dictation.partials;
    QStringList& errors = dictation.errors;
    void start() { dictation.start(); }
};

TEST_F(SpeechInputTest, ChainsSegmentsIntoOneTranscriptFedByTheMicrophone)
{
    start();
    ASSERT_TRUE(speech.isRunning());
    microphone->onAudio("\x01\x02");
    EXPECT_EQ(recognizer->audio, QByteArray("\x01\x02"));

    recognizer->say(Kind::partial, QStringLiteral("再短"));
    recognizer->say(Kind::final, QStringLiteral("再短一点"));
    ASSERT_EQ(recognizer->tasks.size(), 2) << "a final segment starts the next task";
    recognizer->say(Kind::partial, QStringLiteral("口语"));
    recognizer->say(Kind::partial, QStringLiteral("too late"), 0); // the replaced task
    recognizer->say(Kind::final, QStringLiteral("口语化"));

    EXPECT_EQ(partials,
              QStringList({QStringLiteral("再短"), QStringLiteral("再短一点"), QStringLiteral("再短一点口语"),
                           QStringLiteral("再短一点口语化")}));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SpeechInputTest, SecondStartIsIgnoredAndNothingArrivesAfterStop)
{
    start();
    start();
    EXPECT_EQ(microphone->starts, 1);
    EXPECT_EQ(recognizer->tasks.size(), 1);
    speech.stop();
    speech.stop();
    EXPECT_FALSE(speech.isRunning());
    EXPECT_EQ(recognizer->cancels, 1);
    EXPECT_FALSE(microphone->onAudio);
    recognizer->say(Kind::final, QStringLiteral("迟到的结果"), 0);
    recognizer->say(Kind::interrupted, {}, 0);

    start(); // a new dictation: the old task stays silenced
    recognizer->say(Kind::partial, QStringLiteral("迟到"), 0);
    recognizer->say(Kind::partial, QStringLiteral("新"));
    EXPECT_EQ(partials, QStringList{QStringLiteral("新")});

    speech.stop(); // a start failure is reported after start() returns, so stop() silences it too
    recognizer->available = false;
    start();
    speech.stop();
    processEventsFor(20);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SpeechInputTest, EveryFailureEndsTheDictationWithOneSentence)
{
    const auto expectFailure = [this](const QString& sentence, const std::function<void()>& cause) {
        errors.clear();
        start();
        cause();
        processEventsUntil([this] { return !errors.isEmpty(); }, 1000);
        EXPECT_EQ(errors, QStringList{sentence});
        EXPECT_FALSE(speech.isRunning());
        EXPECT_FALSE(microphone->onAudio);
    };
    expectFailure(SpeechInput::noMicrophone, [this] { microphone->onLost(); });
    expectFailure(SpeechInput::interrupted, [this] { recognizer->say(Kind::interrupted); });
    microphone->works = false;
    expectFailure(SpeechInput::noMicrophone, [] {});
    recognizer->available = false;
    const int starts = microphone->starts;
    expectFailure(SpeechInput::noOnDeviceSpeech, [] {});
    EXPECT_EQ(microphone->starts, starts) << "without an engine the microphone stays off";
}

} // namespace
