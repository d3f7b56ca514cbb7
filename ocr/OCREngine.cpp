#include "ocr/OCREngine.h"

#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include "ocr/CjkSpacing.h"

OCREngine::OCREngine() = default;
OCREngine::~OCREngine()
{
    unload();
}

bool OCREngine::load()
{
    if (m_api || m_loadFailed)
        return bool(m_api);
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    if (api->Init(nullptr, "chi_sim+eng", tesseract::OEM_LSTM_ONLY) != 0) {
        m_loadFailed = true;
        return false;
    }
    api->SetPageSegMode(tesseract::PSM_SINGLE_BLOCK);
    m_api = std::move(api);
    return true;
}

void OCREngine::unload()
{
    if (m_api)
        m_api->End();
    m_api.reset();
}

QList<RecognizedPiece> OCREngine::recognizeLines(const QImage& grey, std::stop_token stop)
{
    QList<RecognizedPiece> pieces;
    if (grey.isNull() || grey.format() != QImage::Format_Grayscale8 || !load())
        return pieces;
    // The library's loops run on the calling thread alone: on two cores its own threads make a
    // small crop several times slower. OMP_THREAD_LIMIT cannot do this, as Qt has loaded libgomp
    // (which reads it once) before main; with no active levels allowed no team is formed, whatever
    // thread counts the loops ask for. Set per call: the setting belongs to the calling thread.
    omp_set_max_active_levels(0);
    m_api->SetImage(grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
    tesseract::ETEXT_DESC monitor;
    monitor.cancel_this = &stop;
    monitor.cancel = [](void* token, int) { return static_cast<std::stop_token*>(token)->stop_requested(); };
    if (m_api->Recognize(&monitor) != 0 || stop.stop_requested()) {
        m_api->Clear();
        return pieces;
    }
    const double width = grey.width();
    const double height = grey.height();
    std::unique_ptr<tesseract::ResultIterator> line(m_api->GetIterator());
    if (line) {
        do {
            std::unique_ptr<char[]> utf8(line->GetUTF8Text(tesseract::RIL_TEXTLINE));
            int left = 0, top = 0, right = 0, bottom = 0;
            if (!utf8 || !line->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom))
                continue;
            const QString text = CjkSpacing::removeBetweenCjk(QString::fromUtf8(utf8.get()).trimmed());
            RecognizedPiece piece;
            if (!text.isEmpty())
                piece.candidates.append(text);
            piece.minX = left / width;
            piece.midY = 1.0 - (top + bottom) / 2.0 / height;
            pieces.append(piece);
        } while (line->Next(tesseract::RIL_TEXTLINE));
    }
    m_api->Clear();
    return pieces;
}
