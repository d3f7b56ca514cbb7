#include <gtest/gtest.h>

#include <array>

#include <QPainter>
#include <QRegularExpression>

#include "ocr/CjkSpacing.h"
#include "ocr/CropLayout.h"
#include "ocr/LineText.h"
#include "ocr/OCRDebugLog.h"
#include "ocr/RegionDrag.h"
#include "ocr/ScreenGrab.h"
#include "ocr/ScreenOCR.h"
#include "tests/support/Files.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

TEST(AssembleText, ReadsLinesFromTheTopAndPiecesFromTheLeftSkippingEmptyOnes)
{
    EXPECT_EQ(ScreenOCR::assembleText({}), QString());
    const QList<RecognizedPiece> pieces = {
        {{"A"}, 0.5, 0.6}, {{}, 0.9, 0.0}, {{"B"}, 0.51, 0.1}, {{"  "}, 0.7, 0.0}, {{"C", "not this"}, 0.2, 0.1}};
    EXPECT_EQ(ScreenOCR::assembleText(pieces), QStringLiteral("B A\nC"));
}

TEST(CjkSpacing, DropsSpacesBetweenCjkWidensPunctuationAfterItAndCollapsesRuns)
{
    EXPECT_EQ(CjkSpacing::removeBetweenCjk(QStringLiteral("屏 幕  取字, 好: Quillo   reads, 中 文 2024  年 ? ok ")),
              QStringLiteral("屏幕取字，好： Quillo reads, 中文 2024 年？ ok "));
}

TEST(LineText, KeepsWidelySpacedLabelsApartAndDropsDoubtfulSymbolsAtTheEdgesOrAlone)
{
    // line height 20: gaps of 20 px and more are wide, under 5 px between scripts no space
    const auto word = [](const char* text, int left, int right, float confidence = 90) {
        return ReadWord{QString::fromUtf8(text), left, right, confidence};
    };
    const QList<std::pair<const char*, QList<ReadWord>>> cases = {
        {"文件 编辑 View 帮助",
         {word("文件", 0, 30), word("编辑", 50, 80), word("View", 100, 140), word("帮", 160, 175),
          word("助", 177, 192)}},
        {"The dog.", {word("[", 0, 4, 40), word("The", 8, 40), word("dog.", 46, 80), word("[@", 84, 96, 30)}},
        {"取消 Save As", {word("取消", 0, 30), word("@", 60, 70, 20), word("Save", 100, 140), word("As", 146, 166)}},
        {"讨论 API设计2.bt", {word("讨论", 0, 24), word("API", 30, 52), word("设计", 53, 72), word("2.bt", 72, 90)}},
        {"启动 }", {word("_", 0, 10, 90), word("|", 20, 21, 92), word("启动", 30, 60), word("}", 70, 78, 95)}},
    };
    for (const auto& [text, words] : cases)
        EXPECT_EQ(LineText::compose(words, 20), QString::fromUtf8(text)) << text;
}

// Three lines of strokes 16 px high, the middle one on a band of its own ground (a selected line,
// a dark panel): the crop's ground and ink, then the band's.
TEST(CropLayout, TurnsEveryGroundWhiteAndItsTextBlackWhateverItsPolarity)
{
    const QColor light(246, 245, 244), dark(30, 30, 30), blue(53, 132, 228);
    const QList<std::array<QColor, 4>> crops = {
        {light, Qt::black, blue, Qt::white}, {dark, light, dark, light}, {light, dark, dark, light}};
    for (const auto& [ground, ink, band, bandInk] : crops) {
        QImage image(200, 84, QImage::Format_RGB32);
        image.fill(ground);
        {
            QPainter painter(&image);
            painter.fillRect(QRect(0, 30, 200, 24), band);
            for (const int top : {8, 34, 60})
                for (int x = 8; x < 180; x += 9)
                    painter.fillRect(QRect(x, top, 2, 16), top == 34 ? bandInk : ink);
        }
        const QImage grey = CropLayout::readableGrey(image);
        for (const int y : {4, 32, 42, 70})
            EXPECT_GE(qGray(grey.pixel(190, y)), 224) << "ground at row " << y << " on " << ground.name().toStdString();
        for (const int y : {12, 40, 66})
            EXPECT_LE(qGray(grey.pixel(8, y)), 40) << "stroke at row " << y << " on " << ground.name().toStdString();
        EXPECT_EQ(CropLayout::lineHeight(grey), 16);
    }
}

TEST(RegionDrag, CropsTheDevicePixelsUnderTheRectangleWhicheverWayItIsDragged)
{
    QImage frozen(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < frozen.height(); ++y)
        for (int x = 0; x < frozen.width(); ++x)
            frozen.setPixel(x, y, qRgb(x % 256, y % 256, (x * 7 + y * 13) % 256));
    frozen.setDevicePixelRatio(2);

    RegionDrag drag(frozen);
    drag.press({60.5, 45});
    drag.moveTo({10.5, 20}); // backwards: 50 × 25 logical pixels
    EXPECT_EQ(drag.devicePixels(), QRect(21, 40, 100, 50));
    const QImage crop = drag.crop();
    EXPECT_EQ(crop.devicePixelRatio(), 1.0);
    EXPECT_EQ(crop, frozen.copy(21, 40, 100, 50));

    drag.moveTo({500, 500}); // past the screen's edge
    EXPECT_EQ(drag.devicePixels(), QRect(121, 90, 279, 210));

    drag.press({30, 30});
    drag.moveTo({31, 30.5});
    EXPECT_TRUE(drag.isClick() && drag.crop().isNull());
}

TEST(OCRDebugLog, WritesStampedLinesAndKeepsOneOldFilePastOneMegabyte)
{
    const ScratchHome home;
    const QString path = home.dataDir() + QStringLiteral("/ocr-debug.log");
    OCRDebugLog::log(QStringLiteral("hotkey · 触发，开始截图"));
    OCRDebugLog::flush();
    const QRegularExpression stamped(
        QStringLiteral(R"(^\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)\] hotkey · 触发，开始截图\n$)"));
    EXPECT_TRUE(stamped.match(QString::fromUtf8(readFile(path))).hasMatch());

    ASSERT_TRUE(writeFile(path, QByteArray(1024 * 1024, 'n')) && writeFile(path + ".1", QByteArray(1024 * 1024, 'o')));
    OCRDebugLog::log(QStringLiteral("next"));
    OCRDebugLog::flush();
    EXPECT_EQ(readFile(path + QStringLiteral(".1")).left(1), "n");
    EXPECT_LT(QFileInfo(path).size(), 100);
}

TEST(ScreenGrab, AnAllBlackGrabMeansNoAccessOnlyInAWaylandSession)
{
    QImage black(64, 48, QImage::Format_RGB32);
    black.fill(Qt::black);
    QImage dot = black;
    dot.setPixel(63, 47, qRgb(0, 0, 1));
    const ScopedEnv session("XDG_SESSION_TYPE", "x11");
    {
        const ScopedEnv wayland("WAYLAND_DISPLAY", QByteArray());
        EXPECT_TRUE(ScreenGrab::isUsable(black) && !ScreenGrab::isUsable(QImage()));
    }
    const ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_TRUE(!ScreenGrab::isUsable(black) && ScreenGrab::isUsable(dot));
}

// A Wayland desktop's picture spans the screens' bounding box at the scale of its pixels: each screen is cut from its
// place in the box, wherever the box starts (a screen left of the primary has negative coordinates).
TEST(ScreenGrab, CutsEachScreenFromItsPlaceInTheDesktopsPictureAtThePicturesScale)
{
    const QList<QRect> screens{{-640, 0, 640, 480}, {0, 0, 1280, 800}};
    EXPECT_EQ(ScreenGrab::screenRects({1920, 800}, screens), (QList<QRect>{{0, 0, 640, 480}, {640, 0, 1280, 800}}));
    EXPECT_EQ(ScreenGrab::screenRects({3840, 1600}, screens), (QList<QRect>{{0, 0, 1280, 960}, {1280, 0, 2560, 1600}}));
    EXPECT_EQ(ScreenGrab::screenRects({}, screens), QList<QRect>(2)) << "no picture, nothing to cut";
}
