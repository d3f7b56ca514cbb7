#include "core/Graphemes.h"

#include <QTextBoundaryFinder>

namespace Graphemes {

namespace {

// The UTF-16 offset just after the first `n` characters (the text's length when it has fewer),
// and how many characters were passed.
std::pair<qsizetype, qsizetype> advance(const QString& text, qsizetype n)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype passed = 0;
    qsizetype offset = 0;
    while (passed < n) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            break;
        offset = next;
        ++passed;
    }
    return {offset, passed};
}

}

QStringList split(const QString& text)
{
    QStringList characters;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype next = finder.toNextBoundary(); next >= 0; next = finder.toNextBoundary()) {
        characters.append(text.mid(start, next - start));
        start = next;
    }
    return characters;
}

bool atLeast(const QString& text, qsizetype n)
{
    // No character is shorter than one UTF-16 unit.
    if (text.size() < n)
        return false;
    return advance(text, n).second >= n;
}

QString left(const QString& text, qsizetype n)
{
    return text.left(advance(text, n).first);
}

}
