#include "ocr/ScreenGrab.h"

#include <QGuiApplication>
#include <QPixmap>

QList<ScreenImage> ScreenGrab::grabAll()
{
    QList<ScreenImage> grabs;
    for (QScreen* screen : QGuiApplication::screens()) {
        QImage image = screen->grabWindow(0).toImage();
        if (!image.isNull())
            grabs.append({screen, std::move(image)});
    }
    return grabs;
}

bool ScreenGrab::isUsable(const QImage& image)
{
    if (image.isNull())
        return false;
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qgetenv("XDG_SESSION_TYPE") != "wayland")
        return true;
    // Stops at the first pixel that is not black, so a real screen costs next to nothing.
    const QImage rgb = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
        ? image
        : image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if ((row[x] & 0x00ffffffu) != 0)
                return true;
    }
    return false;
}
