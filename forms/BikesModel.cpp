#include "forms/BikesModel.h"

#include "util/Formats.h"

#include <QApplication>
#include <QFont>
#include <QLocale>
#include <QPalette>

#include <algorithm>

const std::array<ReportColumn, BikesModel::ColumnCount> BikesModel::ColumnTable = {{
    {"Bici", 200, Qt::AlignLeft},
    {"KM", 70, Qt::AlignRight},
    {"Tempo", 70, Qt::AlignRight},
    {"Uscite", 55, Qt::AlignRight},
    {"Ultima uscita", 90, Qt::AlignHCenter},
}};

const QString BikesModel::NoBikeText = QStringLiteral("(componenti senza bici)");

BikesModel::BikesModel(QObject* parent) : ReportListModel(ColumnTable, parent) {}

int BikesModel::HomeBike(const Bikes::Part& part)
{
    if (part.fittings.isEmpty())
        return 0;
    const Bikes::Fitting& last = part.fittings.last();
    // A part retired stays with the bike it came off; one taken off is on none.
    return !last.until.isValid() || part.retired.isValid() ? last.bike : 0;
}

QString BikesModel::TimeText(qint64 milliseconds)
{
    const qint64 minutes = milliseconds / 60000;
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

void BikesModel::SetBikes(const Bikes::Garage& garage, const Bikes::Usage& usage)
{
    beginResetModel();
    m_rows.clear();
    for (const Bikes::Bike& bike : garage.bikes)
        m_rows.append({bike, usage.bikes.value(bike.key)});
    std::stable_partition(m_rows.begin(), m_rows.end(), [](const Row& row) { return !row.bike.retired; });
    if (std::any_of(garage.parts.cbegin(), garage.parts.cend(),
                    [](const Bikes::Part& part) { return HomeBike(part) == 0; }))
        m_rows.append(Row{});
    endResetModel();
}

int BikesModel::Key(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).bike.key : -1;
}

int BikesModel::RowOf(int key) const
{
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows.at(row).bike.key == key)
            return row;
    return -1;
}

const Bikes::Bike* BikesModel::BikeAt(int row) const
{
    return row >= 0 && row < m_rows.size() && m_rows.at(row).bike.key != 0 ? &m_rows.at(row).bike : nullptr;
}

int BikesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant BikesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Row& row = m_rows.at(index.row());
    const bool noBike = row.bike.key == 0;
    switch (role) {
    case KeyRole:
        return row.bike.key;
    case Qt::ForegroundRole:
        if (row.bike.retired)
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::FontRole:
        if (noBike) {
            QFont italic;
            italic.setItalic(true);
            return italic;
        }
        return {};
    case Qt::DisplayRole:
        break;
    default:
        return {};
    }
    if (noBike)
        return index.column() == Name ? NoBikeText : QString();
    switch (index.column()) {
    case Name: return row.bike.retired ? row.bike.name + QStringLiteral(" (ritirata)") : row.bike.name;
    case Km: return Formats::Grouped(row.usage.km);
    case Time: return TimeText(row.usage.durationMs);
    case Rides: return QLocale().toString(row.usage.rides);
    case LastRide: return row.usage.lastRide.toString(QStringLiteral("dd/MM/yyyy"));
    default: return {};
    }
}
