#pragma once

#include "Controls.h"

#include <QTreeView>

// The main window's month list, as the tests read and select it.
namespace MonthList {

inline QTreeView* Rides(QWidget* form)
{
    return Child<QTreeView>(form, "ListViewUsciteMensili");
}

inline int Count(QWidget* form)
{
    return Rides(form)->model()->rowCount();
}

inline QModelIndex Cell(QWidget* form, int row, int column)
{
    return Rides(form)->model()->index(row, column);
}

// What the list shows in a cell.
inline QString Text(QWidget* form, int row, int column)
{
    return Cell(form, row, column).data().toString();
}

inline void SelectRow(QWidget* form, int row)
{
    Rides(form)->setCurrentIndex(Cell(form, row, 0));
}

// -1 when no row is selected.
inline int SelectedRow(QWidget* form)
{
    const QModelIndexList selected = Rides(form)->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

}
