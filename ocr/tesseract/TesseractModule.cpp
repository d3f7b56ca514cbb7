// The module that holds Tesseract (see ocr/TesseractReader.h); it exports one function.
#include <omp.h>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include "ocr/TesseractReader.h"

namespace {

class ModuleReader final : public TesseractReader {
public:
    explicit ModuleReader(std::unique_ptr<tesseract::TessBaseAPI> api)
        : m_api(std::move(api))
    {
    }
    ~ModuleReader() override { m_api->End(); }

    QList<ReadLine> read(const QImage& grey, const QRect& area, std::stop_token stop) override
    {
        // The library's loops run on the calling thread alone: on two cores its own threads make a
        // small crop several times slower. OMP_THREAD_LIMIT cannot do this, as Qt has loaded
        // libgomp (which reads it once) before main; with no active levels allowed no team is
        // formed, whatever thread counts the loops ask for. Set per call: the setting belongs to
        // the calling thread.
        omp_set_max_active_levels(0);
        m_api->SetImage(grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
        if (!area.isEmpty())
            m_api->SetRectangle(area.left(), area.top(), area.width(), area.height());
        QList<ReadLine> lines = readLines(stop);
        m_api->Clear();
        return lines;
    }

private:
    QList<ReadLine> readLines(std::stop_token& stop)
    {
        QList<ReadLine> lines;
        tesseract::ETEXT_DESC monitor;
        monitor.cancel_this = &stop;
        monitor.cancel = [](void* token, int) { return static_cast<std::stop_token*>(token)->stop_requested(); };
        if (m_api->Recognize(&monitor) != 0 || stop.stop_requested())
            return lines;
        std::unique_ptr<tesseract::ResultIterator> it(m_api->GetIterator());
        if (!it)
            return lines;
        bool lineStarts = true;
        do {
            int left = 0, top = 0, right = 0, bottom = 0;
            if (lineStarts) {
                it->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom);
                lines.append({QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)),
                              it->Confidence(tesseract::RIL_TEXTLINE),
                              {}});
            }
            lineStarts = it->IsAtFinalElement(tesseract::RIL_TEXTLINE, tesseract::RIL_WORD);
            std::unique_ptr<char[]> utf8(it->GetUTF8Text(tesseract::RIL_WORD));
            if (!lines.isEmpty() && utf8 && it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
                lines.last().words.append(
                    {QString::fromUtf8(utf8.get()), left, right, it->Confidence(tesseract::RIL_WORD)});
        } while (it->Next(tesseract::RIL_WORD));
        return lines;
    }

    std::unique_ptr<tesseract::TessBaseAPI> m_api;
};

}

TesseractReader* quillo_open_tesseract_reader(const char* languages, TesseractReader::Layout layout)
{
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    if (api->Init(nullptr, languages, tesseract::OEM_LSTM_ONLY) != 0)
        return nullptr;
    api->SetPageSegMode(layout == TesseractReader::Layout::singleLine ? tesseract::PSM_SINGLE_LINE
                                                                      : tesseract::PSM_SINGLE_BLOCK);
    return new ModuleReader(std::move(api));
}
