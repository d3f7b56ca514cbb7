#include "ocr/RegionPicker.h"

#include <QGuiApplication>

#include "ocr/RegionOverlay.h"

RegionPicker::RegionPicker(std::function<void(QImage)> done)
    : m_done(std::move(done))
{
}

bool RegionPicker::isActive()
{
    return !s_active.isNull();
}

bool RegionPicker::pick(const QList<ScreenImage>& screens, std::function<void(QImage)> done)
{
    if (isActive())
        return false;
    auto* picker = new RegionPicker(std::move(done));
    s_active = picker;
    for (const ScreenImage& grab : screens) {
        if (!grab.screen)
            continue;
        auto* overlay =
            new RegionOverlay(grab.screen, grab.image, [picker](const QImage& crop) { picker->finish(crop); });
        picker->m_overlays.append(overlay);
        overlay->present();
    }
    // A screen unplugged under the overlays ends the pick.
    connect(qGuiApp, &QGuiApplication::screenRemoved, picker, [picker] { picker->finish({}); });
    if (picker->m_overlays.isEmpty())
        picker->finish({});
    return true;
}

void RegionPicker::finish(const QImage& crop)
{
    if (!m_done)
        return;
    const auto done = std::exchange(m_done, nullptr);
    for (const QPointer<RegionOverlay>& overlay : m_overlays)
        if (overlay)
            overlay->close();
    deleteLater();
    s_active.clear();
    done(crop);
}
