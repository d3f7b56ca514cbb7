#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QScreen>

// The frozen image of one screen, in its device pixels (the image's device pixel ratio is the
// screen's).
struct ScreenImage {
    QPointer<QScreen> screen;
    QImage image;
};

class ScreenGrab {
public:
    // Every screen as it is now; a screen whose grab failed is left out. Main thread only.
    static QList<ScreenImage> grabAll();
    // A grab shows the screen: it is not null and, in a Wayland session (whose X server hands out
    // other clients' windows black when capture is not allowed), not entirely black. A plain X
    // server never refuses a grab, so there an all-black screen is just black.
    static bool isUsable(const QImage& image);
};
