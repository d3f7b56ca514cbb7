#pragma once

#include <initializer_list>

#include <QString>
#include <QStringList>

#include "ui/Tint.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The settings window's grid: 510 wide, 20 margins, a right-aligned 124-wide label column and
// the controls from x = 152; sections with a semibold heading and a separator line between them.
// Every control gets an accessible name.
namespace SettingsLayout {

inline constexpr int contentWidth = 510;
inline constexpr int margin = 20;
inline constexpr int labelWidth = 124;
inline constexpr int controlsX = 152;

void addHeading(QGridLayout* grid, int& row, const char* key);
void addSeparator(QGridLayout* grid, int& row);
// A labelled row (no label for nullptr) of controls laid out left to right; returns the label.
QLabel* addRow(QGridLayout* grid, int& row, const char* labelKey, std::initializer_list<QWidget*> controls);
// A line under the controls of the row above.
void addBelow(QGridLayout* grid, int& row, QWidget* widget);
// Exclusive segments, ids 0…n−1, in a labelled row.
QButtonGroup* segments(QGridLayout* grid, int& row, const char* labelKey, const QStringList& titles);

QLabel* statusLabel(const QString& text);
QLabel* smallLabel();
QComboBox* comboBox(const QString& name, int width);
QLineEdit* lineEdit(const QString& name, const QString& placeholder);
QCheckBox* checkBox(const char* key);

void setTextTint(QLabel* label, const QString& text, Tint tint);

}
