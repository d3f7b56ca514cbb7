#include "app/Modes.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <sys/prctl.h>

#include <QFile>
#include <QImage>

#include "app/Out.h"
#include "ocr/OCREngine.h"
#include "ocr/TextRecognizer.h"

namespace {

// One screen-text grab of the tray, in a process of its own: the models load at once, while the
// user still drags; then one BMP image is read on standard input up to its end and its text printed.
// Input that ends without an image (the grab was stopped, the tray is gone) ends it quietly.
int recognizeOneCrop(const QStringList&)
{
    // The tray may be killed while the models load.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    OCREngine engine;
    if (!engine.load()) {
        outError(QStringLiteral("quillo: no recognition models for the screen text"));
        return 1;
    }
    engine.loadRetryModel();
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return 1;
    const QByteArray bitmap = input.readAll();
    if (bitmap.isEmpty())
        return 0;
    const QImage crop = QImage::fromData(bitmap, "BMP");
    if (crop.isNull()) {
        outError(QStringLiteral("quillo: the crop is not a BMP image"));
        return 1;
    }
    outText(TextRecognizer::recognizeText(engine, crop));
    // The tray waits for the exit: skip the models' teardown (~40 ms of freeing), the kernel
    // takes the memory back at once. The text is out, unbuffered.
    std::_Exit(0);
}

}

const Mode recognizeChildMode = {AppObject::core, nullptr, nullptr, recognizeOneCrop};
