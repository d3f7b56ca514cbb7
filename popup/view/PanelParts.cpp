#include "popup/view/PanelParts.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/ActionKey.h"
#include "prompts/ActionOptions.h"
#include "settings/L10n.h"
#include "ui/ElidedLabel.h"
#include "ui/Typography.h"

namespace PanelParts {

namespace {

class ClickableBand : public QWidget {
public:
    ClickableBand(std::function<void()> onClick)
        : m_onClick(std::move(onClick))
    {
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && m_onClick)
            m_onClick();
    }

private:
    std::function<void()> m_onClick;
};

const char* optionLabelKey(const QString& actionKey)
{
    if (actionKey == ActionKey::rewrite)
        return "popup.opt.label.rewrite";
    if (actionKey == ActionKey::explain)
        return "popup.opt.label.explain";
    return "popup.opt.label.translate";
}

const char* optionTipKey(ActionOptions::Option option)
{
    switch (option) {
    case ActionOptions::Option::scenario: return "popup.opt.tip.scenario";
    case ActionOptions::Option::creativity: return "popup.opt.tip.creativity";
    case ActionOptions::Option::explainMode: return "popup.opt.tip.explain";
    case ActionOptions::Option::translation: break;
    }
    return "popup.opt.tip.translate";
}

void setColor(QWidget* widget, Tint tint)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color(tint));
    palette.setColor(QPalette::Text, color(tint));
    widget->setPalette(palette);
}

}

QColor color(Tint tint)
{
    return Tints::color(tint, Tints::isDark(QApplication::palette()));
}

QVBoxLayout* newView(QWidget*& view)
{
    view = new QWidget;
    view->setFixedWidth(panelWidth);
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(gap);
    return layout;
}

int fitView(QWidget* view)
{
    QLayout* layout = view->layout();
    layout->activate();
    const int height =
        layout->hasHeightForWidth() ? layout->totalHeightForWidth(panelWidth) : layout->totalSizeHint().height();
    view->setFixedHeight(height);
    return height;
}

ElidedLabel* line(const QString& text, qreal pixelSize, qreal fontScale, Tint tint, const QString& accessibleName)
{
    auto* label = new ElidedLabel(text);
    label->setFont(Typography::font(pixelSize, fontScale));
    setColor(label, tint);
    label->setAccessibleName(accessibleName);
    return label;
}

QWidget* headline(const QString& text, Tint tint, qreal fontScale, std::function<void()> onClose)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    ElidedLabel* title = line(text, 12, fontScale, tint, text);
    title->setFont(Typography::font(12, fontScale, QFont::Medium));
    layout->addWidget(title, 1);
    if (onClose) {
        auto* close = new QToolButton;
        close->setText(QStringLiteral("✕"));
        close->setAutoRaise(true);
        close->setAccessibleName(L10n::t("common.close"));
        QObject::connect(close, &QToolButton::clicked, close, std::move(onClose));
        layout->addWidget(close);
    }
    return row;
}

QLabel* hint(const QString& text, qreal fontScale)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setFont(Typography::font(10, fontScale));
    setColor(label, Tint::tertiaryLabel);
    label->setAccessibleName(text);
    return label;
}

QWidget* recallBand(const QString& text, qreal fontScale, std::function<void()> onClick)
{
    auto* band = new ClickableBand(std::move(onClick));
    band->setObjectName(QStringLiteral("recallBand"));
    band->setAttribute(Qt::WA_StyledBackground);
    QColor fill = color(Tint::accent);
    fill.setAlphaF(0.12);
    band->setStyleSheet(
        QStringLiteral("#recallBand { background: %1; border-radius: 7px; }").arg(fill.name(QColor::HexArgb)));
    band->setFixedHeight(26);
    band->setCursor(Qt::PointingHandCursor);
    band->setAccessibleName(text);
    auto* layout = new QHBoxLayout(band);
    layout->setContentsMargins(8, 0, 8, 0);
    ElidedLabel* label = line(text, 11, fontScale, Tint::accent, text);
    label->setFont(Typography::font(11, fontScale, QFont::Medium));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(label);
    return band;
}

QWidget* optionRow(const QString& actionKey, const std::shared_ptr<ActionOptions>& options, qreal fontScale,
                   std::function<void()> onChanged)
{
    const QList<ActionOptions::Option> shown = ActionOptions::optionsShown(actionKey);
    if (shown.isEmpty() || !options)
        return nullptr;
    auto* row = new QWidget;
    row->setFixedHeight(34);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    const QString label = L10n::t(optionLabelKey(actionKey));
    ElidedLabel* title = line(label, 10, fontScale, Tint::secondaryLabel, label);
    title->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    layout->addWidget(title);
    QList<QComboBox*> menus;
    for (ActionOptions::Option option : shown) {
        auto* menu = new QComboBox;
        menu->setFont(Typography::font(11, 1.0));
        menu->addItems(ActionOptions::menuItems(option));
        menu->setCurrentIndex(options->selectedIndex(option));
        menu->setToolTip(L10n::t(optionTipKey(option)));
        menu->setAccessibleName(menu->toolTip());
        menu->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        layout->addWidget(menu);
        menus.append(menu);
    }
    layout->addStretch(1);
    auto changed = [options, shown, menus, onChanged = std::move(onChanged)] {
        for (qsizetype i = 0; i < shown.size(); ++i)
            options->select(shown[i], menus[i]->currentIndex());
        onChanged();
    };
    for (QComboBox* menu : menus)
        QObject::connect(menu, &QComboBox::activated, row, changed);
    return row;
}

}
