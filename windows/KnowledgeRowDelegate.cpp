#include "windows/KnowledgeRowDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include "ui/Tint.h"
#include "ui/Typography.h"
#include "windows/KnowledgeListModel.h"

namespace {

constexpr int padX = 10;
constexpr int padY = 6;
constexpr int lineGap = 3;
constexpr int markWidth = 16;
constexpr int tagPadX = 5;

}

KnowledgeRowDelegate::KnowledgeRowDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
    , m_preview(Typography::font(13, 1.0))
    , m_tag(Typography::font(11, 1.0, QFont::Medium))
    , m_meta(Typography::font(10, 1.0))
{
}

QSize KnowledgeRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    const int first = qMax(QFontMetrics(m_preview).height(), QFontMetrics(m_tag).height() + 2);
    return {200, padY + first + lineGap + QFontMetrics(m_meta).height() + padY};
}

void KnowledgeRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    const bool dark = Tints::isDark(option.palette);
    const QColor text = selected ? option.palette.color(QPalette::HighlightedText) : Tints::color(Tint::label, dark);
    const QColor secondary = selected ? text : Tints::color(Tint::secondaryLabel, dark);
    const QRect area = option.rect.adjusted(padX, padY, -padX, -padY);
    const int firstHeight = qMax(QFontMetrics(m_preview).height(), QFontMetrics(m_tag).height() + 2);

    painter->save();
    int x = area.left();
    const QString mark = index.data(KnowledgeListModel::MarkRole).toString();
    if (!mark.isEmpty()) {
        const bool collected = index.data(KnowledgeListModel::CollectedRole).toBool();
        painter->setFont(m_preview);
        painter->setPen(selected ? text : Tints::color(collected ? Tint::accent : Tint::yellow, dark));
        painter->drawText(QRect(x, area.top(), markWidth, firstHeight), Qt::AlignLeft | Qt::AlignVCenter, mark);
    }
    x += markWidth;

    const QString tag = index.data(KnowledgeListModel::TagRole).toString();
    const QFontMetrics tagMetrics(m_tag);
    const QRect tagRect(x, area.top() + (firstHeight - tagMetrics.height() - 2) / 2,
                        tagMetrics.horizontalAdvance(tag) + 2 * tagPadX, tagMetrics.height() + 2);
    QColor pill = secondary;
    pill.setAlphaF(0.14f);
    QPainterPath path;
    path.addRoundedRect(tagRect, 4, 4);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(path, pill);
    painter->setFont(m_tag);
    painter->setPen(secondary);
    painter->drawText(tagRect, Qt::AlignCenter, tag);
    x = tagRect.right() + 1 + 6;

    painter->setFont(m_preview);
    painter->setPen(text);
    const QRect previewRect(x, area.top(), area.right() - x + 1, firstHeight);
    const QString preview = QFontMetrics(m_preview).elidedText(index.data(KnowledgeListModel::PreviewRole).toString(),
                                                               Qt::ElideRight, previewRect.width());
    painter->drawText(previewRect, Qt::AlignLeft | Qt::AlignVCenter, preview);

    painter->setFont(m_meta);
    painter->setPen(selected ? text : Tints::color(Tint::tertiaryLabel, dark));
    const QRect metaRect(area.left() + markWidth, area.top() + firstHeight + lineGap, area.width() - markWidth,
                         QFontMetrics(m_meta).height());
    painter->drawText(metaRect, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(m_meta).elidedText(index.data(KnowledgeListModel::MetaRole).toString(),
                                                      Qt::ElideRight, metaRect.width()));
    painter->restore();
}
