#pragma once

#include "engines/chat/ChatStream.h"
#include "engines/chat/ThinkFilter.h"
#include "fuzz/FuzzCheck.h"

// Feeds a body to the stream reader line by line, split as the HTTP client splits it ("\n",
// a "\r" before it dropped, the last line passed without one), and checks that what was handed
// out piece by piece is the answer, and that the answer is the text of the delta lines read
// before the end, with an opening thinking block taken out exactly as from the whole text.
inline void fuzzStreamReader(StreamLineParser parse, const QByteArray& body)
{
    QString streamed;
    ChatStreamReader reader(parse, [&](const QString& fragment) {
        FUZZ_CHECK(!fragment.isEmpty());
        streamed += fragment;
    });
    QString deltas;
    bool ended = false;
    const auto take = [&](QByteArray line) {
        if (line.endsWith('\r'))
            line.chop(1);
        const StreamLine parsed = parse(line);
        FUZZ_CHECK(parsed.kind != StreamLine::Kind::delta || !parsed.text.isEmpty());
        if (parsed.kind == StreamLine::Kind::delta)
            deltas += parsed.text;
        ended = !reader.consume(line);
        FUZZ_CHECK(ended == (parsed.kind == StreamLine::Kind::done || parsed.kind == StreamLine::Kind::error));
        FUZZ_CHECK(reader.errorMessage().has_value() == (parsed.kind == StreamLine::Kind::error));
    };
    qsizetype start = 0;
    for (qsizetype end = body.indexOf('\n'); end >= 0 && !ended; end = body.indexOf('\n', start)) {
        take(body.sliced(start, end - start));
        start = end + 1;
    }
    if (!ended && start < body.size())
        take(body.sliced(start));
    if (!reader.errorMessage())
        reader.finish();
    FUZZ_CHECK(streamed == reader.answer());
    if (!reader.errorMessage())
        FUZZ_CHECK(reader.answer() == ThinkFilter::strip(deltas));
}
