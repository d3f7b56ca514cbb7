#include "ocr/LineText.h"

#include <algorithm>

#include "ocr/CjkSpacing.h"

namespace {

// Gaps this share of the line's height or wider separate phrases (menu labels, buttons): a typed
// space between Chinese words, or a narrow glyph such as 一 in its cell, leaves less.
constexpr double wideGapShare = 1.0;
// Where Chinese meets Latin, the engine starts a new word whether or not a space was drawn; a gap
// under this share of the line's height is no space.
constexpr double spaceGapShare = 0.25;
// Symbol-only words read with less confidence than this are not text.
constexpr float symbolConfidence = 60;

bool isSymbolOnly(const QString& text)
{
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

bool isCjk(const QString& text, bool atEnd)
{
    const QList<uint> scalars = text.toUcs4();
    return !scalars.isEmpty() && CjkSpacing::isCjk(atEnd ? scalars.last() : scalars.first());
}

// A checkbox, a frame's edge or a caret, read as the strokes it is made of. Brackets are not
// among them: a line of code may hold one alone.
bool isFrame(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return QStringView(u"|_¦丨").contains(c); });
}

bool isDoubtfulSymbol(const ReadWord& word)
{
    return isSymbolOnly(word.text) && word.confidence < symbolConfidence;
}

bool isNotTextAtEdge(const ReadWord& word)
{
    return isDoubtfulSymbol(word) || isFrame(word.text);
}

}

QString LineText::compose(QList<ReadWord> words, int lineHeight)
{
    words.removeIf([](const ReadWord& word) { return word.text.trimmed().isEmpty(); });
    while (!words.isEmpty() && isNotTextAtEdge(words.first()))
        words.removeFirst();
    while (!words.isEmpty() && isNotTextAtEdge(words.last()))
        words.removeLast();
    const int wideGap = std::max(1, int(wideGapShare * lineHeight));
    const int spaceGap = std::max(1, int(spaceGapShare * lineHeight));
    const auto gapBefore = [&](qsizetype i) { return i > 0 ? words[i].left - words[i - 1].right : 0; };
    const auto wideAfter = [&](qsizetype i) { return i + 1 < words.size() && gapBefore(i + 1) >= wideGap; };
    QStringList phrases;
    QString phrase;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString text = words[i].text.trimmed();
        const int gap = gapBefore(i);
        if (isDoubtfulSymbol(words[i]) && (i == 0 || gap >= wideGap) && wideAfter(i))
            continue;
        if (gap >= wideGap && !phrase.isEmpty()) {
            phrases.append(CjkSpacing::removeBetweenCjk(phrase));
            phrase.clear();
        }
        const bool scriptChanges = isCjk(phrase, true) != isCjk(text, false);
        if (!phrase.isEmpty() && !(scriptChanges && gap < spaceGap))
            phrase.append(QLatin1Char(' '));
        phrase.append(text);
    }
    if (!phrase.isEmpty())
        phrases.append(CjkSpacing::removeBetweenCjk(phrase));
    return phrases.join(QLatin1Char(' '));
}
