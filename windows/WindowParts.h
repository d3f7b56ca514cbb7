#pragma once

#include <QFont>
#include <QString>

#include "ui/Tint.h"

class QLabel;
class QPushButton;

// Controls the windows build the same way: wrapped text in one of the interface's colours, and
// buttons named for screen readers by their title.
namespace WindowParts {

QLabel* text(const QString& content, qreal px, Tint colour, QFont::Weight weight = QFont::Normal);
QPushButton* button(const char* key);

} // namespace WindowParts
