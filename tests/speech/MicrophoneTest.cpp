#include <thread>

#include <gtest/gtest.h>

#include "speech/Microphone.h"
#include "tests/speech/PrivatePulse.h"
#include "tests/speech/SpokenMandarin.h"
#include "tests/support/EventLoop.h"
#include "tests/support/Files.h"

// The real capture path: a PulseAudio pipe source stands in for the microphone, so what the test
// writes into the pipe is what the microphone hears.
TEST(Microphone, DeliversWhatThePipeSourceHearsAndNoticesWhenItIsGone)
{
    PrivatePulse pulse;
    ASSERT_TRUE(pulse.isReady()) << "pulseaudio did not start";
    const QByteArray speech = spokenMandarin(QStringLiteral("zai4 duan3 yi4 dian3"));
    ASSERT_GT(speech.size(), 16000) << "espeak-ng or sox produced no audio";

    const std::unique_ptr<Microphone> microphone = Microphone::openDefault();
    QByteArray heard;
    int losses = 0;
    ASSERT_TRUE(microphone->start([&](const QByteArray& samples) { heard += samples; }, [&] { ++losses; }));
    std::thread speaker([&] { writeFile(pulse.fifo(), speech); });
    const bool arrived = processEventsUntil([&] { return heard.contains(speech); }, 10000);
    speaker.join();
    EXPECT_TRUE(arrived) << "heard " << heard.size() << " bytes, spoke " << speech.size();

    ASSERT_TRUE(pulse.pactl({QStringLiteral("unload-module"), QStringLiteral("module-pipe-source")}));
    EXPECT_TRUE(processEventsUntil([&] { return losses > 0; }, 15000));
    EXPECT_EQ(losses, 1);
}
