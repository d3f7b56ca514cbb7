#include "ocr/TesseractReader.h"

#include "settings/AppBundle.h"

std::unique_ptr<TesseractReader> TesseractReader::open(const char* languages, Layout layout)
{
    const auto open =
        reinterpret_cast<OpenTesseractReader>(AppBundle::moduleSymbol("quillo_tesseract.so", QUILLO_TESSERACT_ENTRY));
    return std::unique_ptr<TesseractReader>(open ? open(languages, layout) : nullptr);
}
