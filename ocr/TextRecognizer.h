#pragma once

#include <stop_token>

#include <QImage>
#include <QString>

class OCREngine;

// The text of a crop, the way every capture and the self-check read it.
class TextRecognizer {
public:
    // Columns left to right, each in reading order, separated by a line feed; trimmed, empty when
    // nothing is legible. Small text is scaled up first, so its lines are
    // 24 px high.
    static QString recognizeText(OCREngine& engine, const QImage& image, std::stop_token stop = {});
};
