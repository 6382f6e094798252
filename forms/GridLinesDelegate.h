#pragma once

#include <QStyledItemDelegate>

// Cells of a report-style list: a light grid between them, and each cell
// aligned like its column heading (one setting a column, not one a cell).
class GridLinesDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
