#pragma once

#include <memory>
#include <optional>
#include <stop_token>

#include <QImage>
#include <QList>

#include "ocr/ScreenOCR.h"
#include "ocr/TesseractReader.h"

// Tesseract for Simplified Chinese and English, read as one block of text. Loading the models
// costs ~150 ms and ~80 MB, so one engine is made once and reused. Not thread-safe: one thread at
// a time uses it, and runs the library's parallel loops alone.
class OCREngine {
public:
    OCREngine();
    ~OCREngine();
    OCREngine(const OCREngine&) = delete;
    OCREngine& operator=(const OCREngine&) = delete;

    // Loads the models on first use; false when they cannot be loaded.
    bool load();
    // Loads the Chinese model of the retries below now rather than at the first retry, for a
    // recognition that must not wait for it (~100 ms).
    void loadRetryModel();
    // The lines of a greyscale image with dark text on a light ground, placed in normalised
    // coordinates of that image. Empty when nothing is legible, on failure or when stopped.
    // A line or word read as Latin with low confidence in a crop that also holds Chinese is read
    // again with the Chinese model alone, which reads small Chinese that the two together take
    // for Latin ("FTF" for 打开); the surer reading wins.
    QList<RecognizedPiece> recognizeLines(const QImage& grey, std::stop_token stop = {});

private:
    void retryAsChinese(const QImage& grey, QList<ReadLine>& lines, std::stop_token stop);
    std::optional<ReadLine> readAsChinese(const QImage& grey, const QRect& box, std::stop_token stop);

    std::unique_ptr<TesseractReader> m_api;
    std::unique_ptr<TesseractReader> m_chinese; // loaded at the first retry
    bool m_loadFailed = false;
};
