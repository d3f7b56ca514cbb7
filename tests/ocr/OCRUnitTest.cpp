#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "ocr/CjkSpacing.h"
#include "ocr/OCRDebugLog.h"
#include "ocr/RegionDrag.h"
#include "ocr/ScreenGrab.h"
#include "ocr/ScreenOCR.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/ScratchHome.h"

TEST(AssembleText, ReadsLinesFromTheTopAndPiecesFromTheLeftSkippingEmptyOnes)
{
    EXPECT_EQ(ScreenOCR::assembleText({}), QString());
    const QList<RecognizedPiece> pieces = {
        {{QStringLiteral("A")}, 0.5, 0.6},
        {{}, 0.9, 0.0},
        {{QStringLiteral("B")}, 0.51, 0.1},
        {{QStringLiteral("  ")}, 0.7, 0.0},
        {{QStringLiteral("C"), QStringLiteral("not this")}, 0.2, 0.1},
    };
    EXPECT_EQ(ScreenOCR::assembleText(pieces), QStringLiteral("B A\nC"));
}

TEST(CjkSpacing, DropsSpacesBetweenCjkAndWidensPunctuationAfterIt)
{
    EXPECT_EQ(CjkSpacing::removeBetweenCjk(QStringLiteral("屏 幕  取字, 好: Quillo reads, 中 文 2024 年? ok")),
              QStringLiteral("屏幕取字，好： Quillo reads, 中文 2024 年？ ok"));
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
    EXPECT_TRUE(drag.isClick());
    EXPECT_TRUE(drag.crop().isNull());
}

TEST(OCRDebugLog, WritesStampedLinesAndKeepsOneOldFilePastOneMegabyte)
{
    const ScratchHome home;
    const QString path = home.dataDir() + QStringLiteral("/ocr-debug.log");
    OCRDebugLog::log(QStringLiteral("hotkey · 触发，开始截图"));
    OCRDebugLog::flush();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral(R"(^\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)\] hotkey · 触发，开始截图\n$)"))
            .match(QString::fromUtf8(file.readAll()))
            .hasMatch());
    file.close();

    for (const auto& [name, fill] : {std::pair{path, 'n'}, std::pair{path + QStringLiteral(".1"), 'o'}}) {
        QFile big(name);
        ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.write(QByteArray(1024 * 1024, fill)) == 1024 * 1024);
    }
    OCRDebugLog::log(QStringLiteral("next"));
    OCRDebugLog::flush();
    QFile old(path + QStringLiteral(".1"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.read(1), "n");
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
        EXPECT_TRUE(ScreenGrab::isUsable(black));
        EXPECT_FALSE(ScreenGrab::isUsable(QImage()));
    }
    const ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_FALSE(ScreenGrab::isUsable(black));
    EXPECT_TRUE(ScreenGrab::isUsable(dot));
}
