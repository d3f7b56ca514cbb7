#include "ocr/ScreenOCR.h"

#include <algorithm>
#include <cmath>

namespace {

// Pieces whose midY differs from a line's first piece by at most this share of the image height
// belong to that line.
constexpr double lineTolerance = 0.02;

struct Piece {
    QString text;
    double midY;
    double minX;
};

}

QString ScreenOCR::assembleText(const QList<RecognizedPiece>& recognized)
{
    QList<Piece> pieces;
    for (const RecognizedPiece& piece : recognized) {
        if (piece.candidates.isEmpty() || piece.candidates.first().trimmed().isEmpty())
            continue;
        pieces.append({piece.candidates.first(), piece.midY, piece.minX});
    }
    std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.midY > b.midY; });

    QList<QList<Piece>> lines;
    for (const Piece& piece : pieces) {
        if (!lines.isEmpty() && std::abs(piece.midY - lines.last().first().midY) <= lineTolerance)
            lines.last().append(piece);
        else
            lines.append({piece});
    }

    QStringList lineTexts;
    for (QList<Piece>& line : lines) {
        std::stable_sort(line.begin(), line.end(), [](const Piece& a, const Piece& b) { return a.minX < b.minX; });
        QStringList texts;
        for (const Piece& piece : line)
            texts.append(piece.text);
        lineTexts.append(texts.join(QLatin1Char(' ')));
    }
    return lineTexts.join(QLatin1Char('\n'));
}
