#include "fuzz/FuzzCheck.h"
#include "memory/KnowledgeCodec.h"

namespace {

// Entries decoded from written text are written in the same bytes again; a missing date (now)
// or id (fresh) is settled by the first writing.
void checkFile(const QByteArray& bytes)
{
    const auto entries = KnowledgeCodec::decode(bytes);
    if (!entries)
        return;
    const QByteArray encoded = KnowledgeCodec::encode(*entries);
    const auto again = KnowledgeCodec::decode(encoded);
    FUZZ_CHECK(again && again->size() == entries->size());
    for (qsizetype i = 0; i < entries->size(); ++i) {
        FUZZ_CHECK((*again)[i].id == (*entries)[i].id);
        FUZZ_CHECK((*again)[i].sourceText == (*entries)[i].sourceText);
        FUZZ_CHECK((*again)[i].resultText == (*entries)[i].resultText);
    }
    FUZZ_CHECK(KnowledgeCodec::encode(*again) == encoded);
}

// A journal line: one line, ending in its line break, that decodes to the same change.
void checkChange(const QByteArray& line)
{
    const auto change = KnowledgeCodec::decodeChange(line);
    if (!change)
        return;
    const QByteArray encoded = KnowledgeCodec::encodeChange(*change);
    FUZZ_CHECK(encoded.endsWith('\n') && encoded.count('\n') == 1);
    const auto again = KnowledgeCodec::decodeChange(encoded);
    FUZZ_CHECK(again && again->kind == change->kind && again->id == change->id && again->entry.id == change->entry.id);
    FUZZ_CHECK(again->entry.sourceText == change->entry.sourceText
               && again->entry.resultText == change->entry.resultText);
    FUZZ_CHECK(KnowledgeCodec::encodeChange(*again) == encoded);
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    checkFile(bytes);
    checkChange(bytes);
    return 0;
}
