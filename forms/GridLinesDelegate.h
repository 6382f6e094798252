#pragma once

#include <QStyledItemDelegate>

// Draws a light grid between the cells of a report-style list.
class GridLinesDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
