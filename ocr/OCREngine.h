#pragma once

#include <memory>
#include <stop_token>

#include <QImage>
#include <QList>

#include "ocr/ScreenOCR.h"

namespace tesseract {
class TessBaseAPI;
}

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
    // Frees the models; the next recognition loads them again.
    void unload();
    // The lines of a greyscale image with dark text on a light ground, placed in normalised
    // coordinates of that image. Empty when nothing is legible, on failure or when stopped.
    QList<RecognizedPiece> recognizeLines(const QImage& grey, std::stop_token stop = {});

private:
    std::unique_ptr<tesseract::TessBaseAPI> m_api;
    bool m_loadFailed = false;
};
