#pragma once

#include "data/MonthRides.h"

#include <QTreeWidgetItem>

#include <memory>

// A row of the month list that shows its ride's texts from the month it was
// made from instead of holding copies: a month of thousands of rides is listed
// without building a value per cell. The month is shared by every row of the
// list and lives as long as the last of them.
class MonthListItem : public QTreeWidgetItem
{
public:
    using Rows = std::shared_ptr<const QList<MonthRides::Row>>;

    MonthListItem(Rows rows, qsizetype index);

    // The texts of the seven columns, in the list's order; the ride's key
    // under Qt::UserRole in the first column. Anything set later wins.
    QVariant data(int column, int role) const override;

    // One item for each row of `month`, all sharing one copy of its rows.
    static QList<QTreeWidgetItem*> Items(const MonthRides& month);

private:
    Rows m_rows;
    qsizetype m_index;
};
