#include "ui/Typography.h"

#include <QApplication>

namespace Typography {

QFont font(qreal pixelSize, qreal fontScale, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans"), font.family()});
    font.setPixelSize(qMax(1, qRound(pixelSize * fontScale)));
    font.setWeight(weight);
    return font;
}

} // namespace Typography
