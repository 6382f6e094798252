#include "forms/GridLinesDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QTextLayout>
#include <QToolTip>

namespace {

// A cell of one line of text that fits, drawn as the style draws it (its
// background, then the text laid out once where the style puts it), without
// the four more layouts of the same text the style makes to place it. Any
// other cell (an icon, a tick box, the focus frame, an editor, wrapping,
// text to cut) is left to the style: false.
bool PaintFittingText(QPainter* painter, const QStyleOptionViewItem& cell, const QStyle* style)
{
    constexpr QStyle::State StyleDrawn = QStyle::State_HasFocus | QStyle::State_Editing;
    if ((cell.state & StyleDrawn) || cell.text.isEmpty() || !cell.icon.isNull()
        || (cell.features & (QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::WrapText
                             | QStyleOptionViewItem::HasDecoration)))
        return false;
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, cell.widget) + 1;
    const QRect textRect = cell.rect.adjusted(margin, 0, -margin, 0);
    QTextOption options;
    options.setWrapMode(QTextOption::ManualWrap);
    options.setTextDirection(cell.direction);
    options.setAlignment(QStyle::visualAlignment(cell.direction, cell.displayAlignment));
    QTextLayout layout(cell.text, cell.font);
    layout.setTextOption(options);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
        layout.endLayout();
        return false;
    }
    line.setLineWidth(textRect.width());
    line.setPosition(QPointF(0, 0));
    const bool oneLine = !layout.createLine().isValid();
    layout.endLayout();
    if (!oneLine || line.naturalTextWidth() > textRect.width())
        return false;

    painter->save();
    painter->setClipRect(cell.rect);
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &cell, painter, cell.widget);
    QPalette::ColorGroup group = cell.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(cell.state & QStyle::State_Active))
        group = QPalette::Inactive;
    painter->setPen(cell.palette.color(
        group, cell.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect placed = QStyle::alignedRect(Qt::LayoutDirectionAuto, cell.displayAlignment,
                                             layout.boundingRect().size().toSize(), textRect);
    layout.draw(painter, QPointF(textRect.x(), placed.top()));
    painter->restore();
    return true;
}

}

void GridLinesDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
    if (!PaintFittingText(painter, cell, style))
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
    // The grid's right and bottom lines, a pixel wide: filled, since the
    // raster engine fills a rectangle many times faster than it draws a line.
    const QRect& r = option.rect;
    const QColor grid = option.palette.color(QPalette::Midlight);
    painter->fillRect(QRect(r.right(), r.top(), 1, r.height()), grid);
    painter->fillRect(QRect(r.left(), r.bottom(), r.width(), 1), grid);
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
