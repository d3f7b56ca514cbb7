#include "engines/chat/CloudClient.h"
#include "fuzz/StreamReaderFuzz.h"

// The cloud providers' server-sent events answer stream.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzStreamReader(&CloudClient::parseSSELine, fuzzBytes(data, size));
    return 0;
}
