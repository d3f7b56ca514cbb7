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
};

TEST_F(SpeechInputTest, ChainsSegmentsIntoOneTranscriptFedByTheMicrophone)
{
    dictation.start();
    ASSERT_TRUE(dictation.speech.isRunning());
    dictation.microphone->onAudio("\x01\x02");
    EXPECT_EQ(recognizer->audio, QByteArray("\x01\x02"));

    recognizer->say(Kind::partial, QStringLiteral("再短"));
    recognizer->say(Kind::final, QStringLiteral("再短一点"));
    ASSERT_EQ(recognizer->tasks.size(), 2) << "a final segment starts the next task";
    recognizer->say(Kind::partial, QStringLiteral("口语"));
    recognizer->say(Kind::partial, QStringLiteral("too late"), 0); // the replaced task
    recognizer->say(Kind::final, QStringLiteral("口语化"));

    EXPECT_EQ(dictation.partials, QStringList({"再短", "再短一点", "再短一点口语", "再短一点口语化"}));
    EXPECT_TRUE(dictation.errors.isEmpty());
}

TEST_F(SpeechInputTest, SecondStartIsIgnoredAndNothingArrivesAfterStop)
{
    dictation.start();
    dictation.start();
    EXPECT_TRUE(dictation.microphone->starts == 1 && recognizer->tasks.size() == 1);
    dictation.speech.stop();
    dictation.speech.stop();
    EXPECT_TRUE(!dictation.speech.isRunning() && recognizer->cancels == 1 && !dictation.microphone->onAudio);
    recognizer->say(Kind::final, QStringLiteral("迟到的结果"), 0);
    recognizer->say(Kind::interrupted, {}, 0);

    dictation.start(); // a new dictation: the old task stays silenced
    recognizer->say(Kind::partial, QStringLiteral("迟到"), 0);
    recognizer->say(Kind::partial, QStringLiteral("新"));
    EXPECT_EQ(dictation.partials, QStringList{QStringLiteral("新")});

    dictation.speech.stop(); // a start failure is reported after start() returns, so stop() silences it too
    recognizer->available = false;
    dictation.start();
    dictation.speech.stop();
    processEventsFor(20);
    EXPECT_TRUE(dictation.errors.isEmpty());
}

TEST_F(SpeechInputTest, EveryFailureEndsTheDictationWithOneSentence)
{
    const auto expectFailure = [this](const QString& sentence, const std::function<void()>& cause) {
        dictation.errors.clear();
        dictation.start();
        cause();
        processEventsUntil([this] { return !dictation.errors.isEmpty(); }, 1000);
        EXPECT_EQ(dictation.errors, QStringList{sentence});
        EXPECT_TRUE(!dictation.speech.isRunning() && !dictation.microphone->onAudio);
    };
    expectFailure(SpeechInput::noMicrophone, [this] { dictation.microphone->onLost(); });
    expectFailure(SpeechInput::interrupted, [this] { recognizer->say(Kind::interrupted); });
    dictation.microphone->works = false;
    expectFailure(SpeechInput::noMicrophone, [] {});
    recognizer->available = false;
    const int starts = dictation.microphone->starts;
    expectFailure(SpeechInput::noOnDeviceSpeech, [] {});
    EXPECT_EQ(dictation.microphone->starts, starts) << "without an engine the microphone stays off";
}

} // namespace
