// quillo-dictation: recognises Mandarin with sherpa-onnx for Quillo, in a process of its own
// because a corrupt model file aborts the process that loads it.
//
//   quillo-dictation --version
//   quillo-dictation ENCODER DECODER JOINER TOKENS
//
// Reads 16 kHz mono signed 16-bit little-endian audio on standard input until it ends and
// writes one line per event: "ready" once the model is loaded, "partial\t<text>" whenever the
// text of the current segment changes, "final\t<text>" when a pause ends a segment.
// Exit status 2: the engine library is missing or of another version; 3: the model did not load.
#include <cstdio>
#include <string>
#include <vector>

#include <limits.h>
#include <sys/resource.h>
#include <unistd.h>

#include "speech/helper/SherpaOnnx.h"

namespace {

constexpr int sampleRate = 16000;

std::string ownDirectory()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    const std::string exe(path, static_cast<size_t>(length));
    return exe.substr(0, exe.rfind('/'));
}

bool loadEngine(SherpaOnnx::Api& api)
{
    const std::string library = ownDirectory() + "/" QUILLO_SHERPA_FROM_BIN "/libsherpa-onnx-c-api.so";
    std::string error;
    if (SherpaOnnx::load(library, QUILLO_SHERPA_VERSION, api, error))
        return true;
    std::fprintf(stderr, "quillo-dictation: %s\n", error.c_str());
    return false;
}

void emit(const char* kind, const std::string& text)
{
    std::printf("%s\t%s\n", kind, text.c_str());
    std::fflush(stdout);
}

// Decodes what the stream has, reports changed text, and ends the segment at a pause.
void decodeReady(const SherpaOnnx::Api& api, const SherpaOnnx::Recognizer* recognizer, const SherpaOnnx::Stream* stream,
                 std::string& shown)
{
    while (api.isReady(recognizer, stream))
        api.decode(recognizer, stream);
    const SherpaOnnx::Result* result = api.result(recognizer, stream);
    const std::string text = result->text ? result->text : "";
    api.destroyResult(result);
    if (text != shown) {
        emit("partial", text);
        shown = text;
    }
    if (api.isEndpoint(recognizer, stream)) {
        if (!text.empty())
            emit("final", text);
        api.reset(recognizer, stream);
        shown.clear();
    }
}

int recognise(const SherpaOnnx::Api& api, char** files)
{
    SherpaOnnx::RecognizerConfig config{};
    config.feat = {sampleRate, 80};
    config.model.transducer = {files[0], files[1], files[2]};
    config.model.tokens = files[3];
    config.model.numThreads = 1; // real time needs far less than one core; the other is the desktop's
    config.model.provider = "cpu";
    config.decodingMethod = "greedy_search";
    config.enableEndpoint = 1;
    config.rule1MinTrailingSilence = 2.4f; // silence before anything was said
    config.rule2MinTrailingSilence = 1.2f; // the pause that ends a segment
    config.rule3MinUtteranceLength = 20.0f;
    const SherpaOnnx::Recognizer* recognizer = api.createRecognizer(&config);
    if (!recognizer) {
        std::fprintf(stderr, "quillo-dictation: the model did not load\n");
        return 3;
    }
    const SherpaOnnx::Stream* stream = api.createStream(recognizer);
    std::printf("ready\n");
    std::fflush(stdout);

    std::vector<char> bytes(3200); // 100 ms
    std::vector<float> samples;
    size_t carried = 0; // an odd byte left from the last read
    std::string shown;
    ssize_t got = 0;
    while ((got = read(STDIN_FILENO, bytes.data() + carried, bytes.size() - carried)) > 0) {
        const size_t available = carried + static_cast<size_t>(got);
        const size_t count = available / 2;
        samples.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const auto low = static_cast<unsigned char>(bytes[2 * i]);
            const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
            samples[i] = static_cast<int16_t>(low | (high << 8)) / 32768.0f;
        }
        carried = available % 2;
        if (carried)
            bytes[0] = bytes[available - 1];
        api.acceptWaveform(stream, sampleRate, samples.data(), static_cast<int32_t>(count));
        decodeReady(api, recognizer, stream, shown);
    }
    api.destroyStream(stream);
    api.destroyRecognizer(recognizer);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // A corrupt model aborts this process by design of the engine; that leaves no core file.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    SherpaOnnx::Api api{};
    const bool versionOnly = argc == 2 && std::string(argv[1]) == "--version";
    if (!versionOnly && argc != 5) {
        std::fprintf(stderr, "usage: quillo-dictation --version | ENCODER DECODER JOINER TOKENS\n");
        return 1;
    }
    if (!loadEngine(api))
        return 2;
    if (versionOnly) {
        std::printf("%s\n", api.version());
        return 0;
    }
    return recognise(api, argv + 1);
}
