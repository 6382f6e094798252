#include "forms/MonthRidesModel.h"

const std::array<ReportColumn, MonthRidesModel::ColumnCount> MonthRidesModel::ColumnTable = {{
    {"#", 20, Qt::AlignLeft},
    {"Giorno", 80, Qt::AlignHCenter},
    {"Tipo", 40, Qt::AlignHCenter},
    {"KM", 40, Qt::AlignHCenter},
    {"Durata", 55, Qt::AlignHCenter},
    {"KM/h", 40, Qt::AlignHCenter},
    {"Descrizione", 400, Qt::AlignLeft},
}};

MonthRidesModel::MonthRidesModel(QObject* parent) : ReportListModel(ColumnTable, parent)
{
}

void MonthRidesModel::SetMonth(MonthRides month)
{
    beginResetModel();
    m_month = std::move(month);
    m_texts.clear();
    endResetModel();
}

int MonthRidesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_month.rows.size());
}

QVariant MonthRidesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::UserRole)
        return index.column() == Number ? QVariant(m_month.rows.at(index.row()).id) : QVariant();
    if (role != Qt::DisplayRole)
        return {};
    auto texts = m_texts.constFind(index.row());
    if (texts == m_texts.cend())
        texts = m_texts.insert(index.row(), m_month.Texts(index.row()));
    const MonthRides::RowTexts& ride = *texts;
    switch (index.column()) {
    case Number: return ride.number;
    case Day: return ride.day;
    case Type: return ride.type;
    case Km: return ride.km;
    case Duration: return ride.duration;
    case Speed: return ride.speed;
    case Description: return ride.description;
    default: return {};
    }
}
