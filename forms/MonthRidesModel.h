#pragma once

#include "data/MonthRides.h"
#include "forms/ReportListModel.h"

#include <QHash>

#include <array>

// The rides of the month shown, one row a ride, for the main window's month
// list. A row's texts are made when the view first asks for them, so a month
// costs what is on screen, not a formatted item per ride.
class MonthRidesModel : public ReportListModel
{
public:
    enum Column { Number, Day, Type, Km, Duration, Speed, Description, ColumnCount };
    static const std::array<ReportColumn, ColumnCount> ColumnTable;

    explicit MonthRidesModel(QObject* parent = nullptr);

    // Replaces the rows; the view's selection goes with them.
    void SetMonth(MonthRides month);
    const MonthRides& Month() const { return m_month; }
    // The ride's IDUscita, also the row's Qt::UserRole in the first column.
    int RideId(int row) const { return m_month.rows.at(row).id; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    MonthRides m_month;
    mutable QHash<int, MonthRides::RowTexts> m_texts;
};
