#include "capture/ContextWindow.h"

#include <algorithm>
#include <cstdlib>

#include <QTextBoundaryFinder>

namespace {

constexpr qsizetype staleRangeTolerance = 4; // UTF-16 units between the range and the selected text

bool isSentenceBoundary(QChar unit)
{
    switch (unit.unicode()) {
    case u'\n':
    case u'\r':
    case u'.':
    case u'!':
    case u'?':
    case u';':
    case u'。':
    case u'！':
    case u'？':
    case u'；': return true;
    default: return false;
    }
}

// Shrinks [from, to) so that neither end splits a surrogate pair: a cut of a fixed number of
// units can land between the halves of a character outside the Basic Multilingual Plane.
void keepWholeCharacters(const QString& text, qsizetype& from, qsizetype& to)
{
    if (from < to && from > 0 && text[from].isLowSurrogate() && text[from - 1].isHighSurrogate())
        ++from;
    if (from < to && to < text.size() && text[to - 1].isHighSurrogate() && text[to].isLowSurrogate())
        --to;
}

qsizetype graphemeCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString dropLeadingGraphemes(const QString& text, qsizetype count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype position = 0;
    for (qsizetype i = 0; i < count && position < text.size(); ++i)
        position = finder.toNextBoundary();
    return text.mid(position);
}

QString dropTrailingGraphemes(const QString& text, qsizetype count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    qsizetype position = text.size();
    for (qsizetype i = 0; i < count && position > 0; ++i)
        position = finder.toPreviousBoundary();
    return text.left(position);
}

}

void capContextCharacters(SelectionCapture::Context& context, qsizetype limit)
{
    const qsizetype beforeCount = graphemeCount(context.before);
    const qsizetype afterCount = graphemeCount(context.after);
    qsizetype excess = beforeCount + afterCount - limit;
    if (excess <= 0)
        return;
    const auto dropFromBefore = [&] {
        const qsizetype dropped = std::min(excess, graphemeCount(context.before));
        context.before = dropLeadingGraphemes(context.before, dropped);
        excess -= dropped;
    };
    const auto dropFromAfter = [&] {
        const qsizetype dropped = std::min(excess, graphemeCount(context.after));
        context.after = dropTrailingGraphemes(context.after, dropped);
        excess -= dropped;
    };
    if (beforeCount >= afterCount) {
        dropFromBefore();
        dropFromAfter();
    } else {
        dropFromAfter();
        dropFromBefore();
    }
}

std::optional<SelectionCapture::Context> SelectionCapture::contextWindow(const QString& fullText, qsizetype selLocation,
                                                                         qsizetype selLength,
                                                                         const QString& selectedText)
{
    const qsizetype textLength = fullText.size();
    if (selLocation < 0 || selLength < 0 || selLocation > textLength || selLength > textLength - selLocation)
        return std::nullopt;
    if (std::abs(selLength - selectedText.size()) > staleRangeTolerance)
        return std::nullopt;
    const qsizetype selEnd = selLocation + selLength;

    // Left: up to 400 units, and when that cut into the text, only back to the nearest
    // sentence boundary before the selection.
    qsizetype start = std::max<qsizetype>(selLocation - contextSideLimit, 0);
    if (selLocation > contextSideLimit) {
        for (qsizetype i = selLocation - 1; i >= start; --i) {
            if (isSentenceBoundary(fullText[i])) {
                start = i + 1;
                break;
            }
        }
    }

    // Right: up to 400 units, and when that cut into the text, only to the first sentence
    // boundary after the selection, the boundary included.
    const qsizetype rightLimit = selEnd + contextSideLimit;
    qsizetype end = std::min(rightLimit, textLength);
    if (rightLimit < textLength) {
        for (qsizetype i = selEnd; i < rightLimit; ++i) {
            if (isSentenceBoundary(fullText[i])) {
                end = i + 1;
                break;
            }
        }
    }

    qsizetype beforeEnd = selLocation;
    qsizetype afterStart = selEnd;
    keepWholeCharacters(fullText, start, beforeEnd);
    keepWholeCharacters(fullText, afterStart, end);

    Context context{fullText.mid(start, beforeEnd - start).trimmed(),
                    fullText.mid(afterStart, end - afterStart).trimmed()};
    capContextCharacters(context, contextTotalLimit);
    return context;
}
