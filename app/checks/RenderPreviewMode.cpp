#include "app/Modes.h"

#include <QDir>

#include "app/OffscreenApplication.h"
#include "app/Out.h"
#include "popup/view/PopupPreviews.h"
#include "windows/KnowledgePreview.h"
#include "windows/OnboardingWindow.h"
#include "windows/SettingsWindow.h"

namespace {

// One drawer of interface images: how many it draws, and the drawing, which returns the files
// it wrote into the directory.
struct PreviewRenderer {
    int images;
    QStringList (*render)(const QString& directory);
};

const PreviewRenderer renderers[] = {
    {9, PopupPreviews::render},
    {1, SettingsWindow::renderPreview},
    {1, KnowledgePreview::render},
    {1, OnboardingWindow::renderPreview},
};

int renderPreview(const QStringList& args)
{
    const QString last = args.size() > 1 ? args.last() : QString();
    const QString directory = last.startsWith(QLatin1Char('/')) ? last : QStringLiteral("/tmp");
    if (!QDir().mkpath(directory)) {
        out(QStringLiteral("RENDER_PREVIEW_FAIL: cannot create ") + directory);
        return 1;
    }
    const OffscreenApplication app;
    bool complete = true;
    for (const PreviewRenderer& renderer : renderers) {
        const QStringList written = renderer.render(directory);
        for (const QString& path : written)
            out(path);
        complete = complete && written.size() == renderer.images;
    }
    if (!complete)
        out(QStringLiteral("RENDER_PREVIEW_FAIL: some images could not be drawn"));
    return complete ? 0 : 1;
}

}

const Mode renderPreviewMode = {AppObject::none, "DIR", "render the interface states to PNG files in DIR",
                                renderPreview};
