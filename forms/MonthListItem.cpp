#include "forms/MonthListItem.h"

MonthListItem::MonthListItem(Rows rows, qsizetype index)
    : m_rows(std::move(rows)), m_index(index)
{
}

QVariant MonthListItem::data(int column, int role) const
{
    const QVariant set = QTreeWidgetItem::data(column, role);
    if (set.isValid())
        return set;
    const MonthRides::Row& ride = m_rows->at(m_index);
    if (role == Qt::UserRole)
        return column == 0 ? QVariant(ride.id) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (column) {
    case 0: return ride.number;
    case 1: return ride.day;
    case 2: return ride.type;
    case 3: return ride.km;
    case 4: return ride.duration;
    case 5: return ride.speed;
    case 6: return ride.description;
    default: return {};
    }
}

QList<QTreeWidgetItem*> MonthListItem::Items(const MonthRides& month)
{
    const Rows rows = std::make_shared<const QList<MonthRides::Row>>(month.rows);
    QList<QTreeWidgetItem*> items;
    items.reserve(rows->size());
    for (qsizetype i = 0; i < rows->size(); ++i)
        items.append(new MonthListItem(rows, i));
    return items;
}
