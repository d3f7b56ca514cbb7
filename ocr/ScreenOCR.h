#pragma once

#include <functional>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "ocr/ScreenTextCapture.h"

class QImage;
struct ScreenImage;

// One recognised line of a crop, placed in normalised image coordinates (0…1, origin at the
// bottom left, so a larger midY is higher on the screen).
struct RecognizedPiece {
    QStringList candidates; // best first; may be empty
    double midY = 0;
    double minX = 0;
};

// Screen text recognition: the user drags a rectangle over a frozen image of the screens and the
// text in it is recognised on the device. On X11 the screens are read directly; on Wayland the
// compositor hands out a picture of the whole desktop (the platform's ScreenImages), which is
// cut into its screens. Each grab's crop is read by a child process started with the grab
// (RecognitionWorker). No file is ever written: the frozen screens and the crop stay in memory
// or go through a pipe.
class ScreenOCR final : public ScreenTextCapture {
public:
    // Grabs every screen, shows the region overlay on each and recognises the dragged rectangle in
    // a child process.
    void capture(QObject* context, Done done) override;

    // Reads an image the way a capture reads its crop: text, or noText when nothing is legible.
    // Same threads and callback rules as capture.
    static void recognize(const QImage& image, QObject* context, Done done);

    // Reading order: lines from the top (pieces whose midY lies within 0.02 of a line's first piece
    // join it), pieces of a line from the left, joined by a space; lines by a line feed.
    static QString assembleText(const QList<RecognizedPiece>& pieces);

private:
    void captureFromDesktop(QPointer<QObject> guard, Done answer);
    static void pickAndRead(const QList<ScreenImage>& screens, QPointer<QObject> guard, Done answer);

    bool m_grabbing = false; // a picture of the desktop is on its way
    QObject m_life;          // the context of those pictures: what answers them lives as long as this
};
