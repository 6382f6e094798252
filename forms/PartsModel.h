#pragma once

#include "data/Bikes.h"
#include "forms/ReportListModel.h"

#include <array>
#include <optional>

// The parts of one bike (BikesModel::HomeBike) as the "Bici e componenti"
// window lists them: those due first, most worn first, in bold red with a
// warning; then the others in use; then, when asked, the retired ones greyed.
// The part key is in KeyRole; the tooltip tells the wear and the history.
class PartsModel : public ReportListModel
{
public:
    enum Column { Name, Fitted, Km, Limit, Wear, Notes, ColumnCount };
    static const std::array<ReportColumn, ColumnCount> ColumnTable;
    static constexpr int KeyRole = Qt::UserRole;

    explicit PartsModel(QObject* parent = nullptr);

    void SetParts(const Bikes::Garage& garage, const Bikes::Usage& usage, int bike, bool withRetired);
    int Key(int row) const;
    int RowOf(int key) const; // -1 when not listed
    const Bikes::Part* PartAt(int row) const;
    bool IsDue(int row) const;

    // "7.000 km", "12 mesi", both, or empty.
    static QString LimitText(const Bikes::Part& part);
    // The larger share of its limits used; nothing without a limit.
    static std::optional<double> WearShare(const Bikes::Part& part, const Bikes::PartUsage& usage);
    // Where the part has been: "Bici da corsa dal 01/03/2024 al 15/06/2024; MTB dal 16/06/2024".
    static QString HistoryText(const Bikes::Part& part, const Bikes::Garage& garage);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        Bikes::Part part;
        Bikes::PartUsage usage;
        std::optional<Bikes::Wear> due;
        QString history;
    };
    QString FittedText(const Row& row) const;

    QList<Row> m_rows;
};
