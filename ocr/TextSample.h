#pragma once

#include <QColor>
#include <QImage>
#include <QStringList>

// Text drawn as the screen would show it, with the interface's own fonts: what the self-check,
// the tests and the benchmarks recognise.
class TextSample {
public:
    // The lines, one under the other, at the pixel size in logical pixels, on an image scaled by
    // the device pixel ratio (2 gives a HiDPI screen's pixels).
    static QImage render(const QStringList& lines, qreal pixelSize, qreal devicePixelRatio = 1, QColor ink = Qt::black,
                         QColor ground = Qt::white);
    // Two blocks of lines side by side, a gutter apart.
    static QImage renderColumns(const QStringList& left, const QStringList& right, qreal pixelSize);
    // Character error rate of a reading against the truth: edits (Levenshtein, UTF-16 units) per
    // character of the truth.
    static double errorRate(const QString& read, const QString& truth);
};
