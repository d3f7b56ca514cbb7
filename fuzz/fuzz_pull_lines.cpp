#include <cmath>

#include "engines/ollama/ManagedOllama.h"
#include "fuzz/FuzzCheck.h"

// The lines of a model download's progress stream, each one alone: a phase with a fraction the
// interface can show, an error with its text, or nothing.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using Line = ManagedOllama::PullLine;
    using Phase = ManagedOllama::PullPhase;
    for (const QByteArray& text : fuzzBytes(data, size).split('\n')) {
        const Line line = ManagedOllama::parsePullLine(text);
        switch (line.kind) {
        case Line::Kind::progress:
            FUZZ_CHECK(std::isfinite(line.phase.fraction) && line.phase.fraction >= 0 && line.phase.fraction <= 1);
            FUZZ_CHECK(line.phase.kind == Phase::Kind::downloading || line.phase.fraction == 0);
            FUZZ_CHECK(!line.phase.text().isEmpty());
            break;
        case Line::Kind::error: FUZZ_CHECK(!line.error.isEmpty()); break;
        case Line::Kind::ignore: FUZZ_CHECK(line == Line{}); break;
        }
    }
    return 0;
}
