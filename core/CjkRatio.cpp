#include "core/CjkRatio.h"

#include <QChar>
#include <QList>

namespace {

bool isCjk(char32_t scalar)
{
    return (scalar >= 0x4E00 && scalar <= 0x9FFF)  // CJK unified ideographs
        || (scalar >= 0x3400 && scalar <= 0x4DBF)  // extension A
        || (scalar >= 0x3040 && scalar <= 0x30FF)  // hiragana and katakana
        || (scalar >= 0xAC00 && scalar <= 0xD7A3); // Hangul syllables
}

// Letters in the wide sense, marks included: in scripts such as Devanagari or Thai many vowels
// are combining marks, and they belong to the word as much as its consonants do.
bool isLetter(char32_t scalar)
{
    return QChar::isLetter(scalar) || QChar::isMark(scalar);
}

}

double cjkLetterRatio(QStringView text)
{
    qsizetype cjk = 0;
    qsizetype letters = 0;
    // toUcs4 walks scalars; a lone surrogate arrives as U+FFFD and counts as neither.
    for (const char32_t scalar : text.toUcs4()) {
        if (isCjk(scalar)) {
            ++cjk;
            ++letters;
        } else if (isLetter(scalar)) {
            ++letters;
        }
    }
    return letters == 0 ? 1.0 : double(cjk) / double(letters);
}
