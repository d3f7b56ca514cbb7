// The panel on a real X server: without a compositor an opaque rounded shape; under a compositor
// that does not blur (xcompmgr) an opaque fill, so no glyph of the window beneath shows through.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QWindow>

#include "platform/PlatformServices.h"
#include "platform/linux/XPanelPlacement.h"
#include "tests/support/DesktopSession.h"
#include "tests/support/EventLoop.h"
#include "ui/GlassWindow.h"

namespace {

bool compositorRuns()
{
    return DesktopSession::selectionOwned("_NET_WM_CM_S0");
}

// What the panel itself paints, away from its rounded corners: with alpha, as the compositor
// gets it (the X server's own screenshots show windows of another visual without their alpha).
QImage paintedInside(GlassWindow& panel)
{
    const QImage painted = panel.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const int inset = GlassWindow::cornerRadius;
    return painted.copy(painted.rect().adjusted(inset, inset, -inset, -inset));
}

bool uniform(const QImage& image)
{
    QImage filled(image.size(), image.format());
    filled.fill(image.pixel(0, 0));
    return image == filled;
}

class GlassWindowX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlatformServices services;
        services.panels = std::make_shared<XPanelPlacement>();
        Platform::install(services);
    }
    void TearDown() override
    {
        m_compositor.kill();
        m_compositor.waitForFinished();
        Platform::install({});
    }

    static std::unique_ptr<GlassWindow> showPanel()
    {
        auto panel = std::make_unique<GlassWindow>();
        panel->setContent(new QWidget, QSize(360, 240));
        panel->move(200, 150);
        panel->show();
        processEventsUntil([&panel] { return panel->windowHandle()->isExposed(); });
        return panel;
    }

    QProcess m_compositor;
};

TEST_F(GlassWindowX11, IsShapedWithoutACompositorAndFullyOpaqueUnderOneThatDoesNotBlur)
{
    ASSERT_FALSE(compositorRuns()) << "the test desktop starts without a compositor";
    {
        const std::unique_ptr<GlassWindow> panel = showPanel();
        EXPECT_EQ(panel->backdrop(), PanelPlacement::Backdrop::shaped);
        EXPECT_FALSE(panel->mask().isEmpty() || panel->mask().contains(QPoint(0, 0))) << "its corners cut";
    }
    m_compositor.start(QStringLiteral("xcompmgr"), {});
    ASSERT_TRUE(processEventsUntil(compositorRuns));
    const std::unique_ptr<GlassWindow> panel = showPanel();
    EXPECT_EQ(panel->backdrop(), PanelPlacement::Backdrop::rounded) << "xcompmgr announces no blur";
    EXPECT_TRUE(panel->mask().isEmpty()) << "the compositor draws the transparent corners";
    const QImage inside = paintedInside(*panel);
    EXPECT_TRUE(uniform(inside));
    EXPECT_EQ(qAlpha(inside.pixel(0, 0)), 255) << "no glyph of the window beneath may show through an unblurred panel";
    EXPECT_EQ(qAlpha(panel->grab().toImage().convertToFormat(QImage::Format_ARGB32).pixel(0, 0)), 0)
        << "the corner stays transparent";
}

}
