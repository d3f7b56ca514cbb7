#include "ocr/OCREngine.h"

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

QString textOf(const ReadLine& line)
{
    return LineText::compose(line.words, line.box.height());
}

}

OCREngine::OCREngine() = default;
OCREngine::~OCREngine() = default;

bool OCREngine::load()
{
    if (m_api || m_loadFailed)
        return bool(m_api);
    m_api = TesseractReader::open("chi_sim+eng", TesseractReader::Layout::block);
    m_loadFailed = !m_api;
    return bool(m_api);
}

void OCREngine::loadRetryModel()
{
    if (!m_chinese)
        m_chinese = TesseractReader::open("chi_sim", TesseractReader::Layout::singleLine);
}

std::optional<ReadLine> OCREngine::readAsChinese(const QImage& grey, const QRect& box, std::stop_token stop)
{
    loadRetryModel();
    if (!m_chinese)
        return std::nullopt;
    const QRect area = box.adjusted(-retryMargin, -retryMargin, retryMargin, retryMargin) & grey.rect();
    if (area.isEmpty())
        return std::nullopt;
    const QList<ReadLine> again = m_chinese->read(grey, area, stop);
    if (again.size() != 1)
        return std::nullopt;
    return again.first();
}

void OCREngine::retryAsChinese(const QImage& grey, QList<ReadLine>& lines, std::stop_token stop)
{
    if (std::none_of(lines.begin(), lines.end(), [](const ReadLine& line) { return hasCjk(textOf(line)); }))
        return;
    for (ReadLine& line : lines) {
        if (!hasCjk(textOf(line)) && line.confidence < retryBelowConfidence) {
            const std::optional<ReadLine> again = readAsChinese(grey, line.box, stop);
            if (again && hasCjk(textOf(*again)) && again->confidence > line.confidence)
                line = {line.box, again->confidence, again->words};
            continue;
        }
        for (qsizetype i = 0; i < line.words.size() && !stop.stop_requested(); ++i) {
            const ReadWord& word = line.words[i];
            if (word.confidence >= retryBelowConfidence || hasCjk(word.text))
                continue;
            const QRect box(word.left, line.box.top(), word.right - word.left, line.box.height());
            const std::optional<ReadLine> again = readAsChinese(grey, box, stop);
            if (!again || again->confidence < acceptWordConfidence || !isAllCjk(textOf(*again)))
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
    QList<ReadLine> lines = m_api->read(grey, {}, stop);
    if (stop.stop_requested())
        return pieces;
    retryAsChinese(grey, lines, stop);
    for (const ReadLine& line : lines) {
        RecognizedPiece piece;
        if (const QString text = textOf(line); !text.isEmpty())
            piece.candidates.append(text);
        piece.minX = line.box.left() / double(grey.width());
        piece.midY = 1.0 - (line.box.top() + line.box.bottom() + 1) / 2.0 / grey.height();
        pieces.append(piece);
    }
    return pieces;
}
