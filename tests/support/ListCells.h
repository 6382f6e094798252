#pragma once

#include <QAbstractItemView>
#include <QColor>
#include <QImage>
#include <QStringList>
#include <QTreeView>

#include <algorithm>
#include <cstdlib>
#include <utility>

// A cell of a list as it is painted on screen.
namespace ListCells {

inline QImage Painted(QAbstractItemView* view, const QModelIndex& index)
{
    view->scrollTo(index);
    // Without the grid lines along the cell's right and bottom edges.
    return view->viewport()->grab(view->visualRect(index).adjusted(0, 0, -1, -1)).toImage();
}

// The gaps between the painted text and the cell's left and right edges;
// {-1, -1} for a cell painted in one colour.
inline std::pair<int, int> TextGaps(QAbstractItemView* view, const QModelIndex& index)
{
    const QImage cell = Painted(view, index);
    const QColor background = view->palette().color(QPalette::Base);
    int left = cell.width(), right = -1;
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x)
            if (cell.pixelColor(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return right < 0 ? std::pair{-1, -1} : std::pair{left, cell.width() - 1 - right};
}

enum Alignment { Left, Centre };

// Left: the text sits against the left edge; centred: as far from either.
inline bool AlignedAs(std::pair<int, int> gaps, Alignment alignment)
{
    const auto [left, right] = gaps;
    return alignment == Centre ? std::abs(left - right) <= 2 : left >= 0 && left + 3 < right;
}

// What differs between the columns of `view` and the headings, least widths
// and alignments of its first row's painted texts (L left, C centred, - no
// text); empty when nothing does.
inline QString ColumnFault(QTreeView* view, const QStringList& headings, const QList<int>& widths,
                           const QString& alignments)
{
    const QAbstractItemModel* model = view->model();
    if (model->columnCount() != headings.size())
        return QStringLiteral("%1 columns").arg(model->columnCount());
    for (int column = 0; column < headings.size(); ++column) {
        const QString heading = model->headerData(column, Qt::Horizontal).toString();
        if (heading != headings[column] || view->columnWidth(column) < widths[column])
            return QStringLiteral("column %1: \"%2\", %3 px").arg(column).arg(heading).arg(view->columnWidth(column));
        if (alignments[column] == u'-')
            continue;
        const auto gaps = TextGaps(view, model->index(0, column));
        if (!AlignedAs(gaps, alignments[column] == u'C' ? Centre : Left))
            return QStringLiteral("column %1 painted %2 px from the left, %3 px from the right")
                .arg(column)
                .arg(gaps.first)
                .arg(gaps.second);
    }
    return QString();
}

// The colour at the middle of the cell.
inline QColor Fill(QAbstractItemView* view, const QModelIndex& index)
{
    const QImage cell = Painted(view, index);
    return cell.pixelColor(cell.width() / 2, cell.height() / 2);
}

}
