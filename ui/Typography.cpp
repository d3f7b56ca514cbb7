#include "ui/Typography.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>

#include "settings/L10n.h"

namespace Typography {

namespace {

const QString chineseFamily = QStringLiteral("Noto Sans CJK SC");

// A face that draws Latin text and no Han, so its quotes and apostrophes have Latin widths.
bool isLatinFace(const QString& family)
{
    if (family.isEmpty() || !QFontDatabase::hasFamily(family))
        return false;
    const QList<QFontDatabase::WritingSystem> systems = QFontDatabase::writingSystems(family);
    return systems.contains(QFontDatabase::Latin) && !systems.contains(QFontDatabase::SimplifiedChinese)
        && !systems.contains(QFontDatabase::TraditionalChinese) && !systems.contains(QFontDatabase::Japanese);
}

// Noto Sans where installed, else the desktop's default sans, else a common Latin sans, else any
// proportional Latin face. Without one, a missing first family hands English punctuation to the
// CJK face, which draws “ ” ’ at full width.
QString findLatinFamily()
{
    const QString desktopSans = QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
    for (const QString& family :
         {QStringLiteral("Noto Sans"), desktopSans, QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")})
        if (isLatinFace(family))
            return family;
    for (const QString& family : QFontDatabase::families(QFontDatabase::Latin))
        if (!QFontDatabase::isFixedPitch(family) && isLatinFace(family))
            return family;
    return desktopSans;
}

} // namespace

QString latinFamily()
{
    static const QString family = findLatinFamily();
    return family;
}

QFont font(qreal pixelSize, qreal fontScale, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setFamilies(L10n::current() == L10n::Lang::en ? QStringList{latinFamily(), chineseFamily, font.family()}
                                                       : QStringList{chineseFamily, latinFamily(), font.family()});
    font.setPixelSize(qMax(1, qRound(pixelSize * fontScale)));
    font.setWeight(weight);
    return font;
}

} // namespace Typography
