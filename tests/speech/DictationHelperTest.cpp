#include <gtest/gtest.h>

#include "speech/DictationModel.h"
#include "speech/HelperRecognizer.h"
#include "speech/SpeechInput.h"
#include "tests/speech/RecordedDictation.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/RunProgram.h"
#include "tests/support/ScratchHome.h"

namespace {

void writeModel(const QByteArray& contents)
{
    for (const char* name : {"encoder-epoch-99-avg-1.int8.onnx", "decoder-epoch-99-avg-1.onnx",
                             "joiner-epoch-99-avg-1.int8.onnx", "tokens.txt"})
        ASSERT_TRUE(writeFile(DictationModel::modelDir() + QLatin1Char('/') + QLatin1String(name), contents));
}

} // namespace

TEST(DictationHelper, LoadsThePinnedEngineAndWithoutAModelSaysWhy)
{
    const ProgramResult version = runProgram(DictationModel::helperProgram(), arguments("--version"));
    EXPECT_EQ(version.exitCode, 0) << version.err.constData();
    EXPECT_EQ(version.out, QByteArray(QUILLO_SHERPA_VERSION "\n"));

    ScratchHome home;
    const DictationModel::Status status = DictationModel::status();
    EXPECT_FALSE(status.available);
    EXPECT_EQ(status.modelDir, home.path() + QStringLiteral("/.local/share/quillo/dictation-model"));
    RecordedDictation dictation(std::make_unique<HelperRecognizer>(DictationModel::helperProgram()));
    dictation.start();
    ASSERT_TRUE(dictation.waitForError());
    EXPECT_EQ(dictation.errors, QStringList{SpeechInput::noOnDeviceSpeech});
    EXPECT_EQ(dictation.microphone->starts, 0);

    writeModel("x");
    EXPECT_TRUE(DictationModel::status().available);
}

TEST(DictationHelper, CorruptModelTakesDownOnlyTheHelper)
{
    ScratchHome home;
    writeModel("not a model");
    RecordedDictation dictation(std::make_unique<HelperRecognizer>(DictationModel::helperProgram()));
    dictation.start();
    dictation.microphone->onAudio(QByteArray(3200, '\0'));
    ASSERT_TRUE(dictation.waitForError());
    EXPECT_EQ(dictation.errors, QStringList{SpeechInput::noOnDeviceSpeech});
    EXPECT_TRUE(processEventsUntil([] { return ChildProcesses::running(DictationModel::helperProgram()).isEmpty(); }));
}

TEST(DictationHelper, SegmentsComeThroughThePipeAndADyingHelperInterrupts)
{
    ScratchHome home;
    writeModel("x");
    RecordedDictation dictation(
        std::make_unique<HelperRecognizer>(QUILLO_TESTS_DIR "/speech/fake-dictation-helper.sh"));
    dictation.start();
    dictation.microphone->onAudio(QByteArray(3200, '\0'));
    ASSERT_TRUE(processEventsUntil([&] { return dictation.partials == QStringList({"你", "你好"}); }));
    EXPECT_TRUE(dictation.errors.isEmpty());

    dictation.microphone->onAudio(QByteArray(3200, '\0'));
    ASSERT_TRUE(dictation.waitForError());
    EXPECT_EQ(dictation.errors, QStringList{SpeechInput::interrupted});
}
