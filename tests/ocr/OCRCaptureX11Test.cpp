#include <gtest/gtest.h>

#include <optional>

#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>
#include <QWindow>

#include "ocr/RegionPicker.h"
#include "ocr/ScreenGrab.h"
#include "ocr/ScreenOCR.h"
#include "tests/support/EventLoop.h"
#include "tests/support/RegionOverlays.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

namespace {

using Result = ScreenTextCapture::Result;

// A screen-filling picture in which no two nearby pixels repeat, so a crop one pixel off differs.
class Pattern : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override
    {
        QImage image(size() * devicePixelRatioF(), QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * 37 + y * 11) & 255, (x * 7 ^ y * 53) & 255, (x * y + x) & 255));
        image.setDevicePixelRatio(devicePixelRatioF());
        QPainter(this).drawImage(0, 0, image);
    }
};

bool overlayReady()
{
    if (!processEventsUntil([] { return !shownRegionOverlays().isEmpty(); }))
        return false;
    processEventsFor(150); // the keyboard grab
    return true;
}

bool xdotool(const QStringList& args)
{
    return QProcess::execute(QStringLiteral("xdotool"), args) == 0;
}

class OCRCaptureX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        pattern.setWindowFlags(Qt::FramelessWindowHint);
        pattern.showFullScreen();
        ASSERT_TRUE(processEventsUntil([this] { return pattern.windowHandle()->isExposed(); }));
        processEventsFor(200);
    }

    ScratchHome home;
    Pattern pattern;
};

}

TEST_F(OCRCaptureX11, DraggedRectangleCropsExactlyThePixelsUnderIt)
{
    const QList<ScreenImage> screens = ScreenGrab::grabAll();
    ASSERT_EQ(screens.size(), 1);
    std::optional<QImage> crop;
    ASSERT_TRUE(RegionPicker::pick(screens, [&](const QImage& image) { crop = image; }));
    ASSERT_TRUE(overlayReady());
    ASSERT_TRUE(xdotool({"mousemove", "300", "170", "mousedown", "1", "mousemove", "200", "150", "mousemove", "100",
                         "120", "mouseup", "1"}));
    ASSERT_TRUE(processEventsUntil([&] { return crop.has_value(); }));
    EXPECT_EQ(*crop, screens.first().image.copy(100, 120, 200, 50).convertToFormat(crop->format()));
    EXPECT_TRUE(processEventsUntil([] { return shownRegionOverlays().isEmpty(); }));
}

TEST_F(OCRCaptureX11, EscapeCancelsAndASecondCaptureMeanwhileLeavesTheFirstAlone)
{
    const QTemporaryDir temporary;
    const ScopedEnv tmpdir("TMPDIR", QFile::encodeName(temporary.path()));
    QObject context;
    ScreenOCR screenText;
    std::optional<Result> first, second;
    screenText.capture(&context, [&](Result result) { first = result; });
    ASSERT_TRUE(overlayReady());
    screenText.capture(&context, [&](Result result) { second = result; });
    ASSERT_TRUE(processEventsUntil([&] { return second.has_value(); }));
    EXPECT_EQ(second->kind, Result::Kind::cancelled);
    EXPECT_FALSE(first.has_value());
    EXPECT_FALSE(shownRegionOverlays().isEmpty());

    ASSERT_TRUE(xdotool({"key", "Escape"}));
    ASSERT_TRUE(processEventsUntil([&] { return first.has_value(); }));
    EXPECT_EQ(first->kind, Result::Kind::cancelled);
    EXPECT_TRUE(QDir(temporary.path()).isEmpty());
}
