#pragma once

#include <QString>

// Tesseract may put spaces between Chinese characters and read a Chinese comma or colon as its
// ASCII twin followed by a space; Chinese is written without either.
class CjkSpacing {
public:
    // ASCII , : ; ! ? right after a CJK character become their fullwidth forms; then runs of spaces
    // whose neighbours are both CJK (Han, kana, CJK punctuation, fullwidth forms) go. Spaces
    // between Latin words and between CJK and Latin stay.
    static QString removeBetweenCjk(const QString& text);
};
