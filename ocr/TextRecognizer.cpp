#include "ocr/TextRecognizer.h"

#include "ocr/CropLayout.h"
#include "ocr/OcrEngine.h"
#include "ocr/ScreenOCR.h"

namespace {

constexpr int smallLineHeight = 20;

}

QString TextRecognizer::recognizeText(OcrEngine& engine, const QImage& image, std::stop_token stop)
{
    const QImage grey = CropLayout::readableGrey(image);
    const int lineHeight = CropLayout::lineHeight(grey);
    QStringList columnTexts;
    for (const QRect& span : CropLayout::columns(grey)) {
        QImage column = grey.copy(span);
        if (lineHeight < smallLineHeight)
            column = column.scaled(column.size() * 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_Grayscale8);
        const QString text = ScreenOCR::assembleText(engine.recognizeLines(column, stop));
        if (!text.isEmpty())
            columnTexts.append(text);
    }
    return columnTexts.join(QLatin1Char('\n')).trimmed();
}
