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
    // Every screen cut out of a picture of the whole desktop (what a Wayland compositor hands
    // out): the picture spans the screens' bounding box at one scale, its width over the box's.
    // Each cut keeps that scale as its device pixel ratio; a screen outside the picture is left out.
    static QList<ScreenImage> cropScreens(const QImage& desktop, const QList<QScreen*>& screens);
    // Where each screen lies in such a picture; an empty rectangle for one outside it.
    static QList<QRect> screenRects(QSize desktop, const QList<QRect>& screens);
    // A grab shows the screen: it is not null and, in a Wayland session (whose X server hands out
    // other clients' windows black when capture is not allowed), not entirely black. A plain X
    // server never refuses a grab, so there an all-black screen is just black.
    static bool isUsable(const QImage& image);
    // Whether a refused grab comes back as an all-black picture here (a Wayland session) rather
    // than failing outright (a plain X server).
    static bool refusalLooksBlack();
};
