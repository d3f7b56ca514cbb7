#include <algorithm>

#include <QRegularExpression>

#include "fuzz/FuzzCheck.h"
#include "ocr/CjkSpacing.h"
#include "ocr/ScreenOCR.h"

// The text put together from recognised lines: each line tidied of the spaces Tesseract puts
// between Chinese characters (once is enough: tidying again changes nothing, and nothing grows),
// then the lines in reading order. Every word of a line shows up once in the result, and nothing
// else does.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QRegularExpression spaces(QStringLiteral("\\s+"));
    FuzzInput input(data, size);
    QList<RecognizedPiece> pieces;
    QStringList expectedWords;
    while (!input.atEnd() && pieces.size() < 64) {
        RecognizedPiece piece;
        piece.midY = input.number(2) / 65535.0;
        piece.minX = input.number(2) / 65535.0;
        const int candidates = int(input.number(1) % 3);
        for (int i = 0; i < candidates; ++i) {
            const QString raw = QString::fromUtf8(input.chunk());
            const QString tidy = CjkSpacing::removeBetweenCjk(raw);
            FUZZ_CHECK(tidy.size() <= raw.size());
            FUZZ_CHECK(CjkSpacing::removeBetweenCjk(tidy) == tidy);
            piece.candidates.append(tidy);
        }
        if (!piece.candidates.isEmpty() && !piece.candidates.first().trimmed().isEmpty())
            expectedWords += piece.candidates.first().split(spaces, Qt::SkipEmptyParts);
        pieces.append(piece);
    }
    QStringList words = ScreenOCR::assembleText(pieces).split(spaces, Qt::SkipEmptyParts);
    std::sort(words.begin(), words.end());
    std::sort(expectedWords.begin(), expectedWords.end());
    FUZZ_CHECK(words == expectedWords);
    return 0;
}
