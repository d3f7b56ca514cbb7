#pragma once

#include <memory>
#include <stop_token>

#include <QImage>
#include <QList>
#include <QRect>

#include "ocr/LineText.h"

// One line as Tesseract read it: its box in the image, how sure it was (0–100) and its words.
struct ReadLine {
    QRect box;
    float confidence = 0;
    QList<ReadWord> words;
};

// Tesseract with one set of models. The library, OpenMP and the image codecs under them live in a
// module of their own (quillo_tesseract.so, beside the program's other private libraries) that is
// loaded at the first recognition: a tray that never reads the screen neither maps them nor pays
// for linking them at every start. Not thread-safe: one thread at a time uses a reader.
class TesseractReader {
public:
    enum class Layout { block, singleLine };

    virtual ~TesseractReader() = default;

    // The lines in an area of a greyscale image with dark text on a light ground (the whole
    // image when the area is empty). Empty when nothing is legible, on failure or when stopped.
    virtual QList<ReadLine> read(const QImage& grey, const QRect& area, std::stop_token stop) = 0;

    // A reader of these languages ("chi_sim+eng"); null when the module or the models cannot be
    // loaded.
    static std::unique_ptr<TesseractReader> open(const char* languages, Layout layout);
};

// What the module exports; declared here so its definition there must match what open() calls.
extern "C" __attribute__((visibility("default"))) TesseractReader*
quillo_open_tesseract_reader(const char* languages, TesseractReader::Layout layout);
