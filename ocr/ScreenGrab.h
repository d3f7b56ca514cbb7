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
    // A grab shows something: not null and not entirely black (a denied grab returns black).
    static bool isUsable(const QImage& image);
};
