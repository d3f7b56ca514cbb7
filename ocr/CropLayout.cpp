#include "ocr/CropLayout.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

// How far from the ground's grey a pixel must be to count as ink.
constexpr int inkContrast = 48;
// Pixels this close to a band's ground are that ground.
constexpr int sameGround = 16;
// A band starts at a row with a run of its ground at least this long: longer than a glyph's
// stroke at interface sizes, shorter than a selected word.
constexpr int minGroundRun = 24;
// Thinner bands are rules, borders and underlines, not grounds of text.
constexpr int minBandHeight = 8;
// A band's rows through dense glyphs may show little of its ground; this many such rows in a row
// do not end it.
constexpr int maxRowsWithoutGround = 3;
// Below this contrast a ground holds no text worth stretching to black.
constexpr int minStretch = 96;

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

struct GroundRun {
    int start = 0;
    int end = 0;
    int grey = 0;
    int length() const { return end - start; }
};

// The row's longest run of one grey (within sameGround of its middle) that is not the crop's
// ground.
GroundRun longestOtherGround(const uchar* row, int width, int cropGround)
{
    GroundRun best;
    for (int x = 0; x < width;) {
        int end = x + 1;
        while (end < width && std::abs(int(row[end]) - int(row[x])) <= sameGround)
            ++end;
        const int grey = row[(x + end) / 2];
        if (end - x > best.length() && isInk(uchar(grey), cropGround))
            best = {x, end, grey};
        x = end;
    }
    return best;
}

// Whether at least a quarter of the row's pixels between left and right are the band's ground.
bool showsGround(const uchar* row, int left, int right, int ground)
{
    int count = 0;
    for (int x = left; x < right; ++x)
        count += std::abs(int(row[x]) - ground) <= sameGround;
    return 4 * count >= right - left;
}

// Whether at least half the rectangle is the ground: a band of text is, while the rows through a
// large glyph's long strokes are mostly ink.
bool isMostlyGround(const QImage& grey, const QRect& rect, int ground)
{
    qsizetype count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = rect.left(); x <= rect.right(); ++x)
            count += std::abs(int(row[x]) - ground) <= sameGround;
    }
    return 2 * count >= qsizetype(rect.width()) * rect.height();
}

struct Band {
    QRect rect;
    int ground = 0;
};

QList<Band> bandsOf(const QImage& grey)
{
    const int cropGround = groundGrey(grey);
    QList<Band> bands;
    for (int y = 0; y < grey.height(); ++y) {
        const GroundRun first = longestOtherGround(grey.constScanLine(y), grey.width(), cropGround);
        if (first.length() < minGroundRun)
            continue;
        int top = y, bottom = y + 1, left = first.start, right = first.end, misses = 0;
        for (int next = y + 1; next < grey.height() && misses <= maxRowsWithoutGround; ++next) {
            const uchar* row = grey.constScanLine(next);
            const GroundRun run = longestOtherGround(row, grey.width(), cropGround);
            if (run.length() >= minGroundRun && std::abs(run.grey - first.grey) <= sameGround) {
                left = std::min(left, run.start);
                right = std::max(right, run.end);
            } else if (!showsGround(row, left, right, first.grey)) {
                ++misses;
                continue;
            }
            bottom = next + 1;
            misses = 0;
        }
        while (top > 0 && showsGround(grey.constScanLine(top - 1), left, right, first.grey))
            --top;
        const QRect rect(left, top, right - left, bottom - top);
        if (rect.height() >= minBandHeight && isMostlyGround(grey, rect, first.grey))
            bands.append({rect, first.grey});
        y = bottom - 1;
    }
    return bands;
}

// Maps the band's ground to white and the pixels furthest from it to black.
void stretch(QImage& grey, const QRect& rect, int ground)
{
    int contrast = minStretch;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = rect.left(); x <= rect.right(); ++x)
            contrast = std::max(contrast, std::abs(int(row[x]) - ground));
    }
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        uchar* row = grey.scanLine(y);
        for (int x = rect.left(); x <= rect.right(); ++x)
            row[x] = uchar(255 - std::min(255, std::abs(int(row[x]) - ground) * 255 / contrast));
    }
}

// Columns with ink in nearly every row: a window's edge or a rule, not text.
QList<bool> ruleColumns(const QImage& grey, int ground)
{
    QList<int> inkRows(grey.width(), 0);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            inkRows[x] += isInk(row[x], ground);
    }
    QList<bool> rules(grey.width());
    for (int x = 0; x < grey.width(); ++x)
        rules[x] = inkRows[x] * 10 >= grey.height() * 9;
    return rules;
}

}

QImage CropLayout::readableGrey(const QImage& image)
{
    QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    const QList<Band> bands = bandsOf(grey);
    // a dark crop reads as well inverted, and twice as fast
    const bool dark = groundGrey(grey) < 128;
    if (dark)
        grey.invertPixels();
    for (const Band& band : bands)
        stretch(grey, band.rect, dark ? 255 - band.ground : band.ground);
    return grey;
}

int CropLayout::lineHeight(const QImage& grey)
{
    const int ground = groundGrey(grey);
    const QList<bool> rules = ruleColumns(grey, ground);
    QList<bool> inkRows(grey.height(), false);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width() && !inkRows[y]; ++x)
            inkRows[y] = !rules[x] && isInk(row[x], ground);
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
