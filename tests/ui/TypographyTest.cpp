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

    for (const char* lang : {"en", "zh"}) {
        ScopedEnv uiLang("SELVANE_UI_LANG", lang);
        L10n::invalidate();
        const QFont font = Typography::font(13, 1.45);
        const QFontMetricsF metrics(font);
        const qreal han = metrics.horizontalAdvance(QChar(0x6C49));
        EXPECT_EQ(font.pixelSize(), 19);
        if (QString::fromLatin1(lang) == QLatin1String("en")) {
            EXPECT_EQ(font.families().mid(0, 2), QStringList({latin, QStringLiteral("Noto Sans CJK SC")}))
                << "Han right behind";
            for (const QChar mark : {QChar(0x201C), QChar(0x201D), QChar(0x2019)})
                EXPECT_LT(metrics.horizontalAdvance(mark), han * 0.6) << "narrow U+" << std::hex << int(mark.unicode());
        } else {
            EXPECT_EQ(font.families().first(), QStringLiteral("Noto Sans CJK SC"));
        }
    }
    L10n::invalidate();
}

}
