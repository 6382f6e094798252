#pragma once

#include "forms/ReportListModel.h"

#include <QStringList>

// The rows of one of the statistics window's lists, column by column as the
// statistics give them (and the printout prints them).
class StatisticsRowsModel : public ReportListModel
{
public:
    // What a list shows besides its texts.
    struct Look
    {
        int colourKeyColumn = -1; // painted in the chart colour of the row's slice
        bool boldLastRow = false; // a total under the rows, which has no slice
    };

    StatisticsRowsModel(std::span<const ReportColumn> columns, Look look, QObject* parent = nullptr);

    void SetRows(QList<QStringList> rows);
    // Shown over every cell of `row` until the rows change.
    void SetRowToolTip(int row, const QString& text);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    bool IsTotal(int row) const;

    Look m_look;
    QList<QStringList> m_rows;
    int m_toolTipRow = -1;
    QString m_toolTip;
};

// The columns of the statistics lists.
namespace StatisticsColumns {

// Months and weekdays: the four figures and the colour key of the chart.
enum PeriodColumn { Name, Km, Rides, KmPerRide, ColourKey, PeriodColumnCount };

inline constexpr ReportColumn Top10[] = {
    {"#", 20, Qt::AlignLeft}, {"Data", 130, Qt::AlignHCenter}, {"KM", 40, Qt::AlignHCenter},
    {"Descrizione", 400, Qt::AlignLeft}};
inline constexpr ReportColumn Months[PeriodColumnCount] = {
    {"Mese", 70, Qt::AlignLeft}, {"KM", 55, Qt::AlignHCenter}, {"Uscite", 50, Qt::AlignHCenter},
    {"KM/U", 50, Qt::AlignHCenter}, {"", 20, Qt::AlignHCenter}};
inline constexpr ReportColumn Weekdays[PeriodColumnCount] = {
    {"Giorno", 70, Qt::AlignLeft}, {"KM", 55, Qt::AlignHCenter}, {"Uscite", 50, Qt::AlignHCenter},
    {"KM/U", 50, Qt::AlignHCenter}, {"", 20, Qt::AlignHCenter}};
inline constexpr ReportColumn DaysOfMonth[] = {
    {"Giorno", 50, Qt::AlignLeft}, {"KM", 55, Qt::AlignHCenter}, {"Uscite", 50, Qt::AlignHCenter}};
inline constexpr ReportColumn TensOfKm[] = {{"KM", 60, Qt::AlignLeft}, {"Uscite", 50, Qt::AlignHCenter}};
inline constexpr ReportColumn Years[] = {
    {"Anno", 70, Qt::AlignLeft}, {"Uscite", 50, Qt::AlignHCenter}, {"KM", 65, Qt::AlignHCenter},
    {"Tempo", 65, Qt::AlignHCenter}, {"KM/U", 50, Qt::AlignHCenter}, {"KM/h", 50, Qt::AlignHCenter}};
// The years' figures of each bike, and the colour key of the chart.
enum BikeColumn { BikeColourKey = 6, BikeColumnCount };
inline constexpr ReportColumn PerBike[BikeColumnCount] = {
    {"Bici", 80, Qt::AlignLeft},    {"Uscite", 45, Qt::AlignHCenter}, {"KM", 55, Qt::AlignHCenter},
    {"Tempo", 50, Qt::AlignHCenter}, {"KM/U", 45, Qt::AlignHCenter},  {"KM/h", 45, Qt::AlignHCenter},
    {"", 20, Qt::AlignHCenter}};

}
