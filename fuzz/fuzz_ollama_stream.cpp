#include "engines/ollama/QwenClient.h"
#include "fuzz/StreamReaderFuzz.h"

// The local engine's NDJSON answer stream.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzStreamReader(&QwenClient::parseOllamaStreamLine, fuzzBytes(data, size));
    return 0;
}
