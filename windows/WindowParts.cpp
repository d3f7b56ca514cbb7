#include "windows/WindowParts.h"

#include <QLabel>
#include <QPushButton>

#include "settings/L10n.h"
#include "ui/Typography.h"

namespace WindowParts {

QLabel* text(const QString& content, qreal px, Tint colour, QFont::Weight weight)
{
    auto* label = new QLabel(content);
    label->setFont(Typography::font(px, 1.0, weight));
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Tints::color(colour, Tints::isDark(palette)));
    label->setPalette(palette);
    return label;
}

QPushButton* button(const char* key)
{
    auto* button = new QPushButton(L10n::t(key));
    button->setAccessibleName(button->text());
    return button;
}

} // namespace WindowParts
