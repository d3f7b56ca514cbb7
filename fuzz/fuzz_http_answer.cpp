#include "engines/http/ResponseReader.h"
#include "fuzz/FuzzCheck.h"

namespace {

struct Outcome {
    ResponseReader::State state;
    int status;
    QByteArray body;
    QString problem;
    bool operator==(const Outcome&) const = default;
};

Outcome read(const QByteArray& bytes, qsizetype piece, bool answersHead)
{
    ResponseReader reader(answersHead);
    QByteArray body;
    const auto sink = [&body](QByteArrayView part) {
        body.append(part);
        return true;
    };
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        reader.feed(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)), sink);
    reader.close();
    return {reader.state(), reader.status(), body, reader.problem()};
}

}

// An answer as the loopback transport reads it: however the bytes are cut into reads, the
// outcome is the same, it always ends, and a failure always says what was wrong.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const bool answersHead = data[0] & 1;
    const qsizetype piece = data[1] % 16 + 1;
    const QByteArray bytes = fuzzBytes(data + 2, size - 2);
    const Outcome whole = read(bytes, bytes.size() + 1, answersHead);
    FUZZ_CHECK(read(bytes, piece, answersHead) == whole);
    FUZZ_CHECK(whole.state != ResponseReader::State::head && whole.state != ResponseReader::State::body);
    FUZZ_CHECK(whole.state != ResponseReader::State::done || (whole.status >= 200 && whole.status <= 999));
    FUZZ_CHECK(whole.body.size() <= bytes.size());
    FUZZ_CHECK((whole.state == ResponseReader::State::malformed) == !whole.problem.isEmpty());
    return 0;
}
