#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QString>

#include "ui/Tint.h"

class ActionOptions;
class ElidedLabel;
class QBoxLayout;
class QLabel;
class QVBoxLayout;
class QWidget;

// The pieces the panel's views share, in the panel's fonts and colours.
namespace PanelParts {

inline constexpr int panelWidth = 540;
inline constexpr int margin = 14;
inline constexpr int gap = 8;

QColor color(Tint tint);

// A content widget of the panel's width with a vertical layout at the panel's margins.
QVBoxLayout* newView(QWidget*& view);
// The height the view's layout asks for at the panel's width; fixes the view to it.
int fitView(QWidget* view);

// Headline in 12 medium, with the ✕ button at the right when onClose is given.
QWidget* headline(const QString& text, Tint tint, qreal fontScale, std::function<void()> onClose);
// A one-line label cut at the tail.
ElidedLabel* line(const QString& text, qreal pixelSize, qreal fontScale, Tint tint, const QString& accessibleName);
// A hint: 10 px in the tertiary colour, wrapping.
QLabel* hint(const QString& text, qreal fontScale);
// The band of an earlier lookup; a click anywhere on it calls onClick.
QWidget* recallBand(const QString& text, qreal fontScale, std::function<void()> onClick);
// The option menus of an action (none for an action without options): a change writes the
// chosen entries into the options, then calls onChanged.
QWidget* optionRow(const QString& actionKey, const std::shared_ptr<ActionOptions>& options, qreal fontScale,
                   std::function<void()> onChanged);

}
