#pragma once

#include <functional>

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>

#include "ocr/ScreenGrab.h"

class RegionOverlay;

// The overlays of one region pick, one per screen (a single one across screens breaks with
// mixed scale factors). Main thread only.
class RegionPicker : public QObject {
public:
    // Covers every screen with its frozen image and calls done once with the dragged crop, or
    // with a null image when cancelled. Returns false, without calling done, while another pick
    // is on screen.
    static bool pick(const QList<ScreenImage>& screens, std::function<void(QImage)> done);
    static bool isActive();

private:
    explicit RegionPicker(std::function<void(QImage)> done);
    void finish(const QImage& crop);

    QList<QPointer<RegionOverlay>> m_overlays;
    std::function<void(QImage)> m_done;
    static inline QPointer<RegionPicker> s_active;
};
