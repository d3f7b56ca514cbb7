#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontMetricsF>

#include "settings/L10n.h"
#include "tests/support/ScopedEnv.h"
#include "ui/Typography.h"

namespace {

// English curly quotes and apostrophes must come from a Latin face at Latin width whatever fonts
// are installed; Han still from the Chinese face. Measured on the fonts of this machine.
TEST(Typography, EnglishPunctuationIsLatinWidthAndHanStaysChinese)
{
    const QString latin = Typography::latinFamily();
    ASSERT_TRUE(QFontDatabase::hasFamily(latin)) << latin.toStdString();
    EXPECT_FALSE(QFontDatabase::writingSystems(latin).contains(QFontDatabase::SimplifiedChinese))
        << latin.toStdString();

    const ScopedEnv chinese("SELVANE_UI_LANG", "zh");
    L10n::invalidate();
    EXPECT_EQ(Typography::font(13, 1.45).families().first(), QStringLiteral("Noto Sans CJK SC"));

    const ScopedEnv english("SELVANE_UI_LANG", "en");
    L10n::invalidate();
    const QFont font = Typography::font(13, 1.45);
    EXPECT_EQ(font.pixelSize(), 19);
    EXPECT_EQ(font.families().mid(0, 2), QStringList({latin, QStringLiteral("Noto Sans CJK SC")}))
        << "Han right behind";
    const QFontMetricsF metrics(font);
    for (const QChar mark : {QChar(0x201C), QChar(0x201D), QChar(0x2019)}) {
        EXPECT_LT(metrics.horizontalAdvance(mark), metrics.horizontalAdvance(QChar(0x6C49)) * 0.6)
            << "narrow U+" << std::hex << int(mark.unicode());
    }
    L10n::invalidate();
}

}
