#include "ocr/CropLayout.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

// How far from the ground's grey a pixel must be to count as ink.
constexpr int inkContrast = 48;

int groundGrey(const QImage& grey)
{
    std::array<qsizetype, 256> histogram{};
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            ++histogram[row[x]];
    }
    return int(std::max_element(histogram.begin(), histogram.end()) - histogram.begin());
}

bool isInk(uchar pixel, int ground)
{
    return std::abs(int(pixel) - ground) > inkContrast;
}

// Runs of true values as [start, end) pairs.
QList<std::pair<int, int>> runs(const QList<bool>& marks)
{
    QList<std::pair<int, int>> found;
    for (int i = 0; i < marks.size();) {
        if (!marks[i]) {
            ++i;
            continue;
        }
        const int start = i;
        while (i < marks.size() && marks[i])
            ++i;
        found.append({start, i});
    }
    return found;
}

}

QImage CropLayout::readableGrey(const QImage& image)
{
    QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    qint64 sum = 0;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            sum += row[x];
    }
    const qint64 pixels = qint64(grey.width()) * grey.height();
    if (pixels > 0 && sum < pixels * 128)
        grey.invertPixels();
    return grey;
}

int CropLayout::lineHeight(const QImage& grey)
{
    const int ground = groundGrey(grey);
    QList<bool> inkRows(grey.height(), false);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        inkRows[y] = std::any_of(row, row + grey.width(), [ground](uchar p) { return isInk(p, ground); });
    }
    QList<int> heights;
    for (const auto& [start, end] : runs(inkRows))
        heights.append(end - start);
    if (heights.isEmpty())
        return 0;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

QList<QRect> CropLayout::columns(const QImage& grey)
{
    const int ground = groundGrey(grey);
    QList<bool> inkColumns(grey.width(), false);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            if (isInk(row[x], ground))
                inkColumns[x] = true;
    }
    const QList<std::pair<int, int>> inked = runs(inkColumns);
    if (inked.isEmpty())
        return {};
    const int minGap = 2 * std::max(lineHeight(grey), 1);
    QList<QRect> spans;
    int start = 0;
    for (qsizetype i = 1; i < inked.size(); ++i) {
        const int gapStart = inked[i - 1].second;
        const int gapEnd = inked[i].first;
        if (gapEnd - gapStart >= minGap) {
            const int cut = (gapStart + gapEnd) / 2;
            spans.append(QRect(start, 0, cut - start, grey.height()));
            start = cut;
        }
    }
    spans.append(QRect(start, 0, grey.width() - start, grey.height()));
    return spans;
}
