#pragma once

#include "data/Rides.h"
#include "forms/ReportListModel.h"
#include "gps/GpsImport.h"

#include <array>
#include <vector>

// The sessions of the device files as the preview lists them, one row a
// candidate ride. The rider ticks rows (the file column's box), changes a
// row's type and description; ticking judges the states again.
class GpsCandidatesModel : public ReportListModel
{
public:
    enum Column { File, Date, Sport, Km, Time, Type, Description, State, ColumnCount };
    static const std::array<ReportColumn, ColumnCount> ColumnTable;
    static constexpr int MaxDescription = 255;

    GpsCandidatesModel(std::vector<GpsImport::Candidate> candidates, GpsImport::KnownRides known,
                       QList<Rides::RideType> types, QObject* parent = nullptr);

    const std::vector<GpsImport::Candidate>& Candidates() const { return m_candidates; }
    const QList<Rides::RideType>& Types() const { return m_types; }
    qsizetype TickedCount() const;
    // The ticked candidates, in the files' order.
    std::vector<GpsImport::Candidate> Ticked() const;

    // What the rider reads in the state column.
    static QString StateText(const GpsImport::Candidate& candidate);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString TypeName(int key) const;

    std::vector<GpsImport::Candidate> m_candidates;
    GpsImport::KnownRides m_known;
    QList<Rides::RideType> m_types;
};
