#include <cstdlib>

#include <QTextBoundaryFinder>

#include "capture/SelectionCapture.h"
#include "fuzz/FuzzCheck.h"

namespace {

qsizetype graphemes(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

}

// The text around a selection, from any text (lone surrogates included) and any range an
// accessibility service may report: nothing for a range outside the text or far off the selected
// text; otherwise two pieces of the text itself, before and after the range, within the limits.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const qsizetype location = qsizetype(input.number(2)) - 8;
    const qsizetype length = qsizetype(input.number(2)) - 8;
    const int selectedShift = int(input.number(1) % 11) - 5;
    const QString full = input.utf16(4000);
    const bool inside = location >= 0 && length >= 0 && location <= full.size() && length <= full.size() - location;
    const QString selected = inside ? full.mid(location, std::max<qsizetype>(0, length + selectedShift)) : QString();

    // A range a few units off the selected text is still trusted (emoji counted differently).
    const bool trusted = inside && std::abs(length - selected.size()) <= 4;
    const auto context = SelectionCapture::contextWindow(full, location, length, selected);
    FUZZ_CHECK(context.has_value() == trusted);
    if (!context)
        return 0;
    FUZZ_CHECK(full.left(location).contains(context->before));
    FUZZ_CHECK(full.mid(location + length).contains(context->after));
    FUZZ_CHECK(context->before.size() <= SelectionCapture::contextSideLimit);
    FUZZ_CHECK(context->after.size() <= SelectionCapture::contextSideLimit);
    FUZZ_CHECK(graphemes(context->before) + graphemes(context->after) <= SelectionCapture::contextTotalLimit);
    return 0;
}
