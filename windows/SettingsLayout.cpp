#include "windows/SettingsLayout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "settings/L10n.h"
#include "ui/Typography.h"

namespace SettingsLayout {

namespace {

constexpr int rowHeight = 28;

}

void addHeading(QGridLayout* grid, int& row, const char* key)
{
    auto* heading = new QLabel(L10n::t(key));
    heading->setFont(Typography::font(13, 1.0, QFont::DemiBold));
    heading->setWordWrap(true);
    grid->addWidget(heading, row++, 0, 1, 2);
}

void addSeparator(QGridLayout* grid, int& row)
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, Tints::color(Tint::tertiaryLabel, Tints::isDark(palette)));
    line->setPalette(palette);
    grid->addItem(new QSpacerItem(0, 4), row++, 0);
    grid->addWidget(line, row++, 0, 1, 2);
    grid->addItem(new QSpacerItem(0, 4), row++, 0);
}

QLabel* addRow(QGridLayout* grid, int& row, const char* labelKey, std::initializer_list<QWidget*> controls)
{
    QLabel* label = nullptr;
    if (labelKey) {
        label = new QLabel(L10n::t(labelKey));
        label->setFont(Typography::font(12, 1.0));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setFixedWidth(labelWidth);
        label->setMinimumHeight(rowHeight); // level with the first line of controls, however tall they are
        label->setWordWrap(true);
        grid->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignTop);
    }
    auto* line = new QHBoxLayout;
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(8);
    // Fields that can grow (line edits) take the room left; everything else keeps its size.
    bool grows = false;
    for (QWidget* control : controls) {
        const bool expanding = control->sizePolicy().horizontalPolicy() & QSizePolicy::ExpandFlag;
        line->addWidget(control, expanding ? 1 : 0);
        grows = grows || expanding;
    }
    if (!grows)
        line->addStretch();
    grid->addLayout(line, row, 1, Qt::AlignTop);
    ++row;
    return label;
}

void addBelow(QGridLayout* grid, int& row, QWidget* widget)
{
    grid->addWidget(widget, row++, 1);
}

QButtonGroup* segments(QGridLayout* grid, int& row, const char* labelKey, const QStringList& titles)
{
    auto* bar = new QWidget;
    auto* group = new QButtonGroup(bar);
    group->setExclusive(true);
    auto* line = new QHBoxLayout(bar);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(0);
    const QString name = L10n::t(labelKey);
    for (int i = 0; i < titles.size(); ++i) {
        auto* segment = new QPushButton(titles[i]);
        segment->setCheckable(true);
        segment->setMinimumWidth(64);
        segment->setAccessibleName(name + QLatin1Char(' ') + titles[i]);
        group->addButton(segment, i);
        line->addWidget(segment);
    }
    addRow(grid, row, labelKey, {bar});
    return group;
}

QLabel* statusLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setFont(Typography::font(12, 1.0));
    return label;
}

QLabel* smallLabel()
{
    auto* label = new QLabel;
    label->setFont(Typography::font(11, 1.0));
    label->setWordWrap(true);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Tints::color(Tint::tertiaryLabel, Tints::isDark(palette)));
    label->setPalette(palette);
    return label;
}

QComboBox* comboBox(const QString& name, int width)
{
    auto* box = new QComboBox;
    box->setFixedWidth(width);
    box->setAccessibleName(name);
    return box;
}

QLineEdit* lineEdit(const QString& name, const QString& placeholder)
{
    auto* field = new QLineEdit;
    field->setPlaceholderText(placeholder);
    field->setAccessibleName(name);
    field->setMinimumWidth(160);
    field->setFont(Typography::font(12, 1.0));
    return field;
}

QCheckBox* checkBox(const char* key)
{
    auto* box = new QCheckBox(L10n::t(key));
    box->setAccessibleName(box->text());
    return box;
}

void setTextTint(QLabel* label, const QString& text, Tint tint)
{
    label->setText(text);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Tints::color(tint, Tints::isDark(palette)));
    label->setPalette(palette);
}

}
