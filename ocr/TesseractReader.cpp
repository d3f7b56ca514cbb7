#include "ocr/TesseractReader.h"

#include "settings/AppBundle.h"

std::unique_ptr<TesseractReader> TesseractReader::open(const char* languages, Layout layout)
{
    const auto open = reinterpret_cast<decltype(&quillo_open_tesseract_reader)>(
        AppBundle::moduleSymbol("quillo_tesseract.so", "quillo_open_tesseract_reader"));
    return std::unique_ptr<TesseractReader>(open ? open(languages, layout) : nullptr);
}
