#include "app/Modes.h"

#include <QImageReader>

#include "app/Out.h"
#include "ocr/OCREngine.h"
#include "ocr/TextRecognizer.h"

namespace {

// Reads the image the way a screen grab reads its crop and prints the text; scripts rely on the
// exit status, so every failure is one line on standard error and status 1.
int printImageText(const QStringList& args)
{
    const qsizetype at = args.indexOf(QStringLiteral("--ocr"));
    if (at < 0 || at + 1 >= args.size()) {
        outError(QStringLiteral("quillo: --ocr needs an image file"));
        return 1;
    }
    const QString path = args[at + 1];
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        outError(QStringLiteral("quillo: cannot read %1 as an image: %2").arg(path, reader.errorString()));
        return 1;
    }
    OCREngine engine;
    if (!engine.load()) {
        outError(QStringLiteral("quillo: the recognition models cannot be loaded (tesseract-ocr-chi-sim and "
                                "tesseract-ocr-eng)"));
        return 1;
    }
    const QString text = TextRecognizer::recognizeText(engine, image);
    if (text.isEmpty()) {
        outError(QStringLiteral("quillo: no text found in %1").arg(path));
        return 1;
    }
    out(text);
    return 0;
}

}

const Mode ocrMode = {AppObject::core, "IMAGE", "print the text recognised in an image file", printImageText};
