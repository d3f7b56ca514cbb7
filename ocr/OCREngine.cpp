#include "ocr/OCREngine.h"

#include <omp.h>

#include <optional>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <QRect>

#include "ocr/CjkSpacing.h"
#include "ocr/LineText.h"

namespace {

// Latin lines read with at least this mean confidence are not read again as Chinese: real English
// between Chinese lines reads at 85–95, small Chinese taken for Latin at 40–70.
constexpr float retryBelowConfidence = 80;
// A word read as Latin with low confidence in a line with Chinese gives way to a reading of it
// with the Chinese model alone only when that reads Chinese alone, with at least this confidence
// (the Chinese model reads Latin too, and unsure Latin words are mostly right).
constexpr float acceptWordConfidence = 85;
// Pixels around a line's box given to the second reading, so its glyphs' edges are whole.
constexpr int retryMargin = 3;

std::unique_ptr<tesseract::TessBaseAPI> startEngine(const char* languages, tesseract::PageSegMode mode)
{
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    if (api->Init(nullptr, languages, tesseract::OEM_LSTM_ONLY) != 0)
        return nullptr;
    api->SetPageSegMode(mode);
    return api;
}

bool hasCjk(const QString& text)
{
    const QList<uint> scalars = text.toUcs4();
    return std::any_of(scalars.begin(), scalars.end(), [](uint c) { return CjkSpacing::isCjk(c); });
}

bool isAllCjk(const QString& text)
{
    const QList<uint> scalars = text.toUcs4();
    return !text.trimmed().isEmpty()
        && std::all_of(scalars.begin(), scalars.end(), [](uint c) { return c == ' ' || CjkSpacing::isCjk(c); });
}

}

struct OCREngine::Line {
    QRect box;
    float confidence = 0;
    QList<ReadWord> words;

    QString text() const { return LineText::compose(words, box.height()); }
};

OCREngine::OCREngine() = default;
OCREngine::~OCREngine()
{
    unload();
}

bool OCREngine::load()
{
    if (m_api || m_loadFailed)
        return bool(m_api);
    m_api = startEngine("chi_sim+eng", tesseract::PSM_SINGLE_BLOCK);
    m_loadFailed = !m_api;
    return bool(m_api);
}

void OCREngine::unload()
{
    for (std::unique_ptr<tesseract::TessBaseAPI>* api : {&m_api, &m_chinese}) {
        if (*api)
            (*api)->End();
        api->reset();
    }
}

QList<OCREngine::Line> OCREngine::readLines(tesseract::TessBaseAPI& api, std::stop_token stop)
{
    QList<Line> lines;
    tesseract::ETEXT_DESC monitor;
    monitor.cancel_this = &stop;
    monitor.cancel = [](void* token, int) { return static_cast<std::stop_token*>(token)->stop_requested(); };
    if (api.Recognize(&monitor) != 0 || stop.stop_requested())
        return lines;
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (!it)
        return lines;
    bool lineStarts = true;
    do {
        int left = 0, top = 0, right = 0, bottom = 0;
        if (lineStarts) {
            it->BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom);
            lines.append(
                {QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), it->Confidence(tesseract::RIL_TEXTLINE), {}});
        }
        lineStarts = it->IsAtFinalElement(tesseract::RIL_TEXTLINE, tesseract::RIL_WORD);
        std::unique_ptr<char[]> utf8(it->GetUTF8Text(tesseract::RIL_WORD));
        if (!lines.isEmpty() && utf8 && it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
            lines.last().words.append(
                {QString::fromUtf8(utf8.get()), left, right, it->Confidence(tesseract::RIL_WORD)});
    } while (it->Next(tesseract::RIL_WORD));
    return lines;
}

std::optional<OCREngine::Line> OCREngine::readAsChinese(const QImage& grey, const QRect& box, std::stop_token stop)
{
    if (!m_chinese)
        m_chinese = startEngine("chi_sim", tesseract::PSM_SINGLE_LINE);
    if (!m_chinese)
        return std::nullopt;
    m_chinese->SetImage(grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
    const QRect area = box.adjusted(-retryMargin, -retryMargin, retryMargin, retryMargin) & grey.rect();
    m_chinese->SetRectangle(area.left(), area.top(), area.width(), area.height());
    QList<Line> again = readLines(*m_chinese, stop);
    m_chinese->Clear();
    if (again.size() != 1)
        return std::nullopt;
    return again.first();
}

void OCREngine::retryAsChinese(const QImage& grey, QList<Line>& lines, std::stop_token stop)
{
    if (std::none_of(lines.begin(), lines.end(), [](const Line& line) { return hasCjk(line.text()); }))
        return;
    for (Line& line : lines) {
        if (!hasCjk(line.text()) && line.confidence < retryBelowConfidence) {
            const std::optional<Line> again = readAsChinese(grey, line.box, stop);
            if (again && hasCjk(again->text()) && again->confidence > line.confidence)
                line = {line.box, again->confidence, again->words};
            continue;
        }
        for (qsizetype i = 0; i < line.words.size() && !stop.stop_requested(); ++i) {
            const ReadWord& word = line.words[i];
            if (word.confidence >= retryBelowConfidence || hasCjk(word.text))
                continue;
            const QRect box(word.left, line.box.top(), word.right - word.left, line.box.height());
            const std::optional<Line> again = readAsChinese(grey, box, stop);
            if (!again || again->confidence < acceptWordConfidence || !isAllCjk(again->text()))
                continue;
            line.words.remove(i);
            for (const ReadWord& read : again->words)
                line.words.insert(i++, read);
            --i;
        }
    }
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
    QList<Line> lines = readLines(*m_api, stop);
    m_api->Clear();
    if (stop.stop_requested())
        return pieces;
    retryAsChinese(grey, lines, stop);
    for (const Line& line : lines) {
        RecognizedPiece piece;
        if (const QString text = line.text(); !text.isEmpty())
            piece.candidates.append(text);
        piece.minX = line.box.left() / double(grey.width());
        piece.midY = 1.0 - (line.box.top() + line.box.bottom() + 1) / 2.0 / grey.height();
        pieces.append(piece);
    }
    return pieces;
}
