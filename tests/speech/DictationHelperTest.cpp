#include <gtest/gtest.h>

#include <QProcess>

#include "speech/DictationModel.h"
#include "speech/HelperRecognizer.h"
#include "speech/SpeechInput.h"
#include "tests/speech/RecordedDictation.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"
#include "tests/support/ScratchHome.h"

namespace {

// A dictation through the helper at `program`, started.
struct HelperDictation : RecordedDictation {
    explicit HelperDictation(const QString& program)
        : RecordedDictation(std::make_unique<HelperRecognizer>(program))
    {
        start();
    }
};

void writeModel(const QByteArray& contents)
{
    for (const char* name : {"encoder-epoch-99-avg-1.int8.onnx", "decoder-epoch-99-avg-1.onnx",
                             "joiner-epoch-99-avg-1.int8.onnx", "tokens.txt"})
        ASSERT_TRUE(writeFile(DictationModel::modelDir() + QLatin1Char('/') + QLatin1String(name), contents));
}

QList<pid_t> runningHelpers()
{
    return ChildProcesses::running(DictationModel::helperProgram());
}

} // namespace

TEST(DictationHelper, LoadsThePinnedEngineAndWithoutAModelSaysWhy)
{
    QProcess helper;
    helper.start(DictationModel::helperProgram(), {QStringLiteral("--version")});
    ASSERT_TRUE(helper.waitForFinished());
    EXPECT_EQ(helper.exitCode(), 0) << helper.readAllStandardError().constData();
    EXPECT_EQ(helper.readAllStandardOutput(), QByteArray(QUILLO_SHERPA_VERSION "\n"));

    ScratchHome home;
    const DictationModel::Status status = DictationModel::status();
    EXPECT_FALSE(status.available);
    EXPECT_EQ(status.modelDir, home.path() + QStringLiteral("/.local/share/quillo/dictation-model"));
    HelperDictation dictation(DictationModel::helperProgram());
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
    HelperDictation dictation(DictationModel::helperProgram());
    dictation.microphone->onAudio(QByteArray(3200, '\0'));
    ASSERT_TRUE(dictation.waitForError());
    EXPECT_EQ(dictation.errors, QStringList{SpeechInput::noOnDeviceSpeech});
    EXPECT_TRUE(processEventsUntil([] { return runningHelpers().isEmpty(); }));
}

TEST(DictationHelper, SegmentsComeThroughThePipeAndADyingHelperInterrupts)
{
    ScratchHome home;
    writeModel("x");
    HelperDictation dictation(QStringLiteral(QUILLO_TESTS_DIR "/speech/fake-dictation-helper.sh"));
    dictation.microphone->onAudio(QByteArray(3200, '\0'));
    ASSERT_TRUE(processEventsUntil([&] { return dictation.partials.size() == 2; }));
    EXPECT_EQ(dictation.partials, QStringList({QStringLiteral("你"), QStringLiteral("你好")}));
    EXPECT_TRUE(dictation.errors.isEmpty());

    dictation.microphone->onAudio(QByteArray(3200, '\0'));
    ASSERT_TRUE(dictation.waitForError());
    EXPECT_EQ(dictation.errors, QStringList{SpeechInput::interrupted});
}
