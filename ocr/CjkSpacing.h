#pragma once

#include <QString>

// Tesseract may put spaces between Chinese characters and read a Chinese comma or colon as its
// ASCII twin followed by a space; Chinese is written without either.
class CjkSpacing {
public:
    // ASCII , : ; ! ? after a CJK character (spaces between them aside) become their fullwidth
    // forms; then runs of spaces
    // whose neighbours are both CJK (Han, kana, CJK punctuation, fullwidth forms) go, and other
    // runs of spaces become one. Single spaces between Latin words and between CJK and Latin stay.
    static QString removeBetweenCjk(const QString& text);
    static bool isCjk(char32_t c);
};
