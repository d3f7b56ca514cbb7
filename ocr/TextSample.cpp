#include "ocr/TextSample.h"

#include <algorithm>

#include <QFontMetricsF>
#include <QPainter>

#include "ui/Typography.h"

namespace {

constexpr qreal margin = 12;

QSizeF blockSize(const QStringList& lines, const QFontMetricsF& metrics)
{
    qreal width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    return {width, metrics.lineSpacing() * lines.size()};
}

void drawBlock(QPainter& painter, const QStringList& lines, QPointF topLeft, const QFontMetricsF& metrics)
{
    for (qsizetype i = 0; i < lines.size(); ++i)
        painter.drawText(topLeft + QPointF(0, metrics.ascent() + i * metrics.lineSpacing()), lines[i]);
}

QImage canvas(QSizeF logical, qreal devicePixelRatio, QColor ground)
{
    QImage image((logical * devicePixelRatio).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(ground);
    return image;
}

}

QImage TextSample::render(const QStringList& lines, qreal pixelSize, qreal devicePixelRatio, QColor ink, QColor ground)
{
    const QFont font = Typography::font(pixelSize, 1.0);
    const QFontMetricsF metrics(font);
    const QSizeF block = blockSize(lines, metrics);
    QImage image = canvas(block + QSizeF(2 * margin, 2 * margin), devicePixelRatio, ground);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(ink);
    drawBlock(painter, lines, {margin, margin}, metrics);
    return image;
}

QImage TextSample::renderColumns(const QStringList& left, const QStringList& right, qreal pixelSize)
{
    const QFont font = Typography::font(pixelSize, 1.0);
    const QFontMetricsF metrics(font);
    const QSizeF leftBlock = blockSize(left, metrics);
    const QSizeF rightBlock = blockSize(right, metrics);
    const qreal gutter = 4 * pixelSize;
    const QSizeF size(leftBlock.width() + gutter + rightBlock.width() + 2 * margin,
                      std::max(leftBlock.height(), rightBlock.height()) + 2 * margin);
    QImage image = canvas(size, 1, Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    drawBlock(painter, left, {margin, margin}, metrics);
    drawBlock(painter, right, {margin + leftBlock.width() + gutter, margin}, metrics);
    return image;
}

double TextSample::errorRate(const QString& read, const QString& truth)
{
    QList<qsizetype> row(truth.size() + 1);
    for (qsizetype j = 0; j <= truth.size(); ++j)
        row[j] = j;
    for (qsizetype i = 1; i <= read.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= truth.size(); ++j) {
            const qsizetype above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (read[i - 1] == truth[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return truth.isEmpty() ? double(read.size()) : double(row[truth.size()]) / double(truth.size());
}
