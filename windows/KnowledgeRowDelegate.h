#pragma once

#include <QStyledItemDelegate>

// Draws one entry of the knowledge list in two lines: its mark, action tag and preview, then
// its meta line. Every row has the same height, so the list lays out any number of rows at once.
class KnowledgeRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit KnowledgeRowDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QFont m_preview;
    QFont m_tag;
    QFont m_meta;
};
