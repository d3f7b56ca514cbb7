#pragma once

#include <functional>

#include <QList>
#include <QString>
#include <QStringList>

class QImage;
class QObject;

// One recognised line of a crop, placed in normalised image coordinates (0…1, origin at the
// bottom left, so a larger midY is higher on the screen).
struct RecognizedPiece {
    QStringList candidates; // best first; may be empty
    double midY = 0;
    double minX = 0;
};

// Screen text recognition: the user drags a rectangle over a frozen image of the screens and the
// text in it is recognised on the device. The recognition engine is a process-wide one, kept warm
// on a worker thread owned by the application object (created on first use, ended with it).
// No file is ever written: the frozen screens and the crop stay in memory.
class ScreenOCR {
public:
    struct CaptureResult {
        enum class Kind { text, needsScreenPermission, cancelled, noText };
        Kind kind = Kind::cancelled;
        QString text; // only for text: trimmed, never empty
    };

    // Grabs every screen, shows the region overlay on each and recognises the dragged rectangle off
    // the main thread; calls done once, on the context's thread, unless the context is gone by then.
    // Escape or a click without a drag gives cancelled. While an overlay is up a second call is
    // answered cancelled at once and leaves the first capture alone.
    static void captureAndRecognize(QObject* context, std::function<void(CaptureResult)> done);

    // Reads an image the way a capture reads its crop: text, or noText when nothing is legible.
    // Same threads and callback rules as captureAndRecognize.
    static void recognize(const QImage& image, QObject* context, std::function<void(CaptureResult)> done);

    // Reading order: lines from the top (pieces whose midY lies within 0.02 of a line's first piece
    // join it), pieces of a line from the left, joined by a space; lines by a line feed.
    static QString assembleText(const QList<RecognizedPiece>& pieces);
};
