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

QList<QRect> ScreenGrab::screenRects(QSize desktop, const QList<QRect>& screens)
{
    QRect box;
    for (const QRect& screen : screens)
        box = box.united(screen);
    QList<QRect> rects;
    if (box.isEmpty() || desktop.isEmpty())
        return QList<QRect>(screens.size());
    const qreal scale = qreal(desktop.width()) / box.width();
    for (const QRect& screen : screens) {
        const QRectF scaled((screen.topLeft() - box.topLeft()) * scale, QSizeF(screen.size()) * scale);
        rects.append(scaled.toRect().intersected(QRect(QPoint(), desktop)));
    }
    return rects;
}

QList<ScreenImage> ScreenGrab::cropScreens(const QImage& desktop, const QList<QScreen*>& screens)
{
    QList<QRect> geometries;
    for (const QScreen* screen : screens)
        geometries.append(screen->geometry());
    const QList<QRect> rects = screenRects(desktop.size(), geometries);
    QList<ScreenImage> cut;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        if (rects[i].isEmpty())
            continue;
        QImage part = desktop.copy(rects[i]);
        part.setDevicePixelRatio(qreal(rects[i].width()) / geometries[i].width());
        cut.append({screens[i], std::move(part)});
    }
    return cut;
}

bool ScreenGrab::isUsable(const QImage& image)
{
    if (image.isNull())
        return false;
    if (!refusalLooksBlack())
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

bool ScreenGrab::refusalLooksBlack()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qgetenv("XDG_SESSION_TYPE") == "wayland";
}
