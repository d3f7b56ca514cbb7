#pragma once

#include <cstdint>
#include <string>

// The part of sherpa-onnx's C interface the dictation helper uses, declared for exactly the
// pinned release: its structures change between releases and the package ships no header, so
// load() refuses a library of any other version before a structure is handed over.
namespace SherpaOnnx {

struct TransducerConfig {
    const char* encoder;
    const char* decoder;
    const char* joiner;
};
struct TwoFiles {
    const char* encoder;
    const char* decoder;
};
struct OneFile {
    const char* model;
};

struct ModelConfig {
    TransducerConfig transducer;
    TwoFiles paraformer;
    OneFile zipformer2Ctc;
    const char* tokens;
    int32_t numThreads;
    const char* provider;
    int32_t debug;
    const char* modelType;
    const char* modelingUnit;
    const char* bpeVocab;
    const char* tokensBuf;
    int32_t tokensBufSize;
    OneFile nemoCtc;
    OneFile toneCtc;
};

struct RecognizerConfig {
    struct {
        int32_t sampleRate;
        int32_t featureDim;
    } feat;
    ModelConfig model;
    const char* decodingMethod;
    int32_t maxActivePaths;
    int32_t enableEndpoint;
    float rule1MinTrailingSilence;
    float rule2MinTrailingSilence;
    float rule3MinUtteranceLength;
    const char* hotwordsFile;
    float hotwordsScore;
    struct {
        const char* graph;
        int32_t maxActive;
    } ctcFstDecoder;
    const char* ruleFsts;
    const char* ruleFars;
    float blankPenalty;
    const char* hotwordsBuf;
    int32_t hotwordsBufSize;
    struct {
        const char* dictDir;
        const char* lexicon;
        const char* ruleFsts;
    } homophoneReplacer;
};

// Only the leading field of the library's result record is read.
struct Result {
    const char* text;
};

struct Recognizer;
struct Stream;

// The library's entry points, resolved by load().
struct Api {
    const char* (*version)();
    Recognizer* (*createRecognizer)(const RecognizerConfig*);
    void (*destroyRecognizer)(const Recognizer*);
    Stream* (*createStream)(const Recognizer*);
    void (*destroyStream)(const Stream*);
    void (*acceptWaveform)(const Stream*, int32_t sampleRate, const float* samples, int32_t n);
    int32_t (*isReady)(const Recognizer*, const Stream*);
    void (*decode)(const Recognizer*, const Stream*);
    const Result* (*result)(const Recognizer*, const Stream*);
    void (*destroyResult)(const Result*);
    int32_t (*isEndpoint)(const Recognizer*, const Stream*);
    void (*reset)(const Recognizer*, const Stream*);
};

// Opens the library at `path` and resolves every entry point; false with the reason in `error`
// when the file is missing, lacks an entry point or is not version `pinnedVersion`.
bool load(const std::string& path, const char* pinnedVersion, Api& api, std::string& error);

} // namespace SherpaOnnx
