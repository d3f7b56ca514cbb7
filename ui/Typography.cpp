#include "ui/Typography.h"

#include <QApplication>

#include "settings/L10n.h"

namespace Typography {

QFont font(qreal pixelSize, qreal fontScale, QFont::Weight weight)
{
    QFont font = QApplication::font();
    const QString chinese = QStringLiteral("Noto Sans CJK SC");
    const QString latin = QStringLiteral("Noto Sans");
    font.setFamilies(L10n::current() == L10n::Lang::en ? QStringList{latin, chinese, font.family()}
                                                       : QStringList{chinese, latin, font.family()});
    font.setPixelSize(qMax(1, qRound(pixelSize * fontScale)));
    font.setWeight(weight);
    return font;
}

} // namespace Typography
