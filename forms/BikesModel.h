#pragma once

#include "data/Bikes.h"
#include "forms/ReportListModel.h"

#include <array>

// The rider's bikes as the "Bici e componenti" window lists them: those in
// use by name, then the retired ones greyed; a last row gathers the parts
// that are on no bike, when there are any. Each row's bike key is in KeyRole
// (0 for that last row).
class BikesModel : public ReportListModel
{
public:
    enum Column { Name, Km, Time, Rides, LastRide, ColumnCount };
    static const std::array<ReportColumn, ColumnCount> ColumnTable;
    static constexpr int KeyRole = Qt::UserRole;
    static const QString NoBikeText;

    explicit BikesModel(QObject* parent = nullptr);

    void SetBikes(const Bikes::Garage& garage, const Bikes::Usage& usage);
    int Key(int row) const;
    // -1 when no row shows that key.
    int RowOf(int key) const;
    // Nothing for the row of the parts without a bike.
    const Bikes::Bike* BikeAt(int row) const;

    // The bike whose list shows the part: the one it is on, or where it was
    // retired; 0 for one taken off onto no bike.
    static int HomeBike(const Bikes::Part& part);
    // "h:mm"
    static QString TimeText(qint64 milliseconds);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        Bikes::Bike bike; // key 0: the parts on no bike
        Bikes::BikeUsage usage;
    };
    QList<Row> m_rows;
};
