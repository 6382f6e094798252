#include "forms/GridLinesDelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

void GridLinesDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Midlight));
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->restore();
}

QSize GridLinesDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // A pixel for the grid line under the text, which would otherwise cover an underscore.
    return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 1);
}

void GridLinesDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant alignment = index.model()->headerData(index.column(), Qt::Horizontal, Qt::TextAlignmentRole);
    if (alignment.isValid() && !index.data(Qt::TextAlignmentRole).isValid())
        option->displayAlignment = Qt::Alignment(alignment.toInt());
}

bool GridLinesDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                  const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid() || index.data(Qt::ToolTipRole).isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    // As the style lays the text out: the cell less its margins.
    const QWidget* widget = cell.widget ? cell.widget : view;
    const QRect text = widget->style()->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget);
    if (cell.fontMetrics.horizontalAdvance(cell.text) <= text.width()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(event->globalPos(), cell.text, view->viewport(), cell.rect);
    return true;
}
