#pragma once

#include <QImage>
#include <QList>

// What a crop looks like before it is read: its grounds, the height of its lines, its columns.
class CropLayout {
public:
    // Greyscale, dark text on a light ground: a dark crop is inverted (it reads as well and twice
    // as fast), and each band of rows whose ground differs from the crop's (a selected line, a
    // dark panel) is stretched so its ground is white and its text black, whichever was lighter.
    // Tesseract binarises the crop with one threshold, so light text on such a band was read as a
    // dark blot and the line lost.
    static QImage readableGrey(const QImage& image);
    // The typical height in pixels of the text's lines (median height of the runs of rows that
    // hold ink); 0 when the crop holds none.
    static int lineHeight(const QImage& grey);
    // The crop's text columns, left to right: it splits at vertical bands of ground wider than
    // twice the line height, where Tesseract would otherwise merge rows across the columns.
    // One full-height span when there is no such band; none for a blank crop.
    static QList<QRect> columns(const QImage& grey);
};
