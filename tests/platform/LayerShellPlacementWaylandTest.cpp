// Panels as overlay layer surfaces on real compositors (the private sway and KWin sessions of
// tests/support/in-wayland.sh): over a fullscreen window, the panel shows with its corner 12 px
// past the pointer, or kept inside the screen when the pointer is near its edge, and the keys go
// where each compositor sends them for a panel that asks for the keyboard on demand.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include "platform/wayland/LayerShellPlacement.h"
#include "tests/support/CompositorWindows.h"
#include "tests/support/EventLoop.h"

namespace {

const QRect screen(0, 0, 1280, 800);
const QSize panelSize(240, 160);
const QColor editorColor(20, 40, 160);
const QColor panelColor(230, 30, 30);
const bool onKWin = qEnvironmentVariable("XDG_CURRENT_DESKTOP") == QLatin1String("KDE");

// A window of one colour, counting the keys it is given.
class Filled : public QWidget {
public:
    explicit Filled(const QColor& color)
    {
        QPalette palette;
        palette.setColor(QPalette::Window, color);
        setPalette(palette);
        setAutoFillBackground(true);
    }

    int escapes = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape)
            ++escapes;
    }
};

// Where the compositor shows the panel. KWin lists layer surfaces among its windows, without a
// title; sway shows them only on screen, where the panel is the one of its colour.
std::optional<QRect> shownAt()
{
    if (onKWin) {
        const std::optional<CompositorWindows::Window> panel =
            CompositorWindows::find(QCoreApplication::applicationPid(), QString());
        return panel ? std::optional<QRect>(panel->rect) : std::nullopt;
    }
    const std::optional<QImage> desktop = CompositorWindows::screenshot();
    if (!desktop)
        return std::nullopt;
    const QImage image = desktop->convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qRgb(qRed(line[x]), qGreen(line[x]), qBlue(line[x])) == panelColor.rgb())
                box |= QRect(x, y, 1, 1);
    }
    return box.isEmpty() ? std::nullopt : std::optional<QRect>(box);
}

// A panel placed the way Quillo's are: it takes its layer role as it is about to show.
class Panel : public Filled {
public:
    explicit Panel(QPoint pointer)
        : Filled(panelColor)
        , m_placement([pointer] { return std::optional<QPoint>(pointer); })
    {
        setFixedSize(panelSize);
    }

protected:
    void showEvent(QShowEvent* event) override
    {
        m_placement.aboutToShow(windowHandle());
        Filled::showEvent(event);
    }

private:
    LayerShellPlacement m_placement;
};

class LayerShellPlacementWaylandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::platformName(), QLatin1String("wayland"));
        editor.setWindowTitle(QStringLiteral("editor"));
        editor.showFullScreen();
        ASSERT_TRUE(eventually([&] { return editor.windowHandle()->isActive(); }))
            << "the fullscreen window has the keyboard";
    }

    Filled editor{editorColor};
};

TEST_F(LayerShellPlacementWaylandTest, ThePanelShowsOverAFullscreenWindowNextToThePointerAndWholeOnTheScreen)
{
    struct Case {
        QPoint pointer;
        QPoint corner;
    };
    const Case cases[] = {
        {{300, 250}, {312, 262}},
        // Near the bottom-right corner the panel stays whole on the screen.
        {{1250, 780}, {screen.width() - panelSize.width(), screen.height() - panelSize.height()}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "pointer at " << c.pointer.x() << "," << c.pointer.y());
        Panel panel(c.pointer);
        panel.show();
        const QRect wanted(c.corner, panelSize);
        std::optional<QRect> shown;
        EXPECT_TRUE(eventually([&] { return (shown = shownAt()) && *shown == wanted; }))
            << "shown at " << (shown ? shown->x() : -1) << "," << (shown ? shown->y() : -1) << " "
            << (shown ? shown->width() : 0) << "x" << (shown ? shown->height() : 0);

        // The panel asks for the keyboard on demand: sway leaves it with the window that had it,
        // KWin 6 gives it to an overlay as it maps.
        const Filled& keys = onKWin ? static_cast<const Filled&>(panel) : editor;
        const int editorBefore = editor.escapes, before = keys.escapes;
        ASSERT_TRUE(CompositorWindows::tapEscape());
        EXPECT_TRUE(eventually([&] { return editor.escapes + panel.escapes > editorBefore; }));
        EXPECT_EQ(keys.escapes, before + 1) << (onKWin ? "the panel" : "the fullscreen window") << " has the keys";
    }
}

}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "wayland");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
