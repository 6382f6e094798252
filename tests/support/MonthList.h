#pragma once

#include "Controls.h"

#include <QTreeWidget>

// The main window's month list, as the tests read and select it.
namespace MonthList {

inline QTreeWidget* Rides(QWidget* form)
{
    return Child<QTreeWidget>(form, "ListViewUsciteMensili");
}

inline void SelectRow(QWidget* form, int row)
{
    Rides(form)->setCurrentItem(Rides(form)->topLevelItem(row));
}

// -1 when no row is selected.
inline int SelectedRow(QWidget* form)
{
    const QList<QTreeWidgetItem*> selected = Rides(form)->selectedItems();
    return selected.isEmpty() ? -1 : Rides(form)->indexOfTopLevelItem(selected.first());
}

}
