#include "forms/PartsModel.h"

#include "forms/BikesModel.h"
#include "util/Formats.h"

#include <QApplication>
#include <QFont>
#include <QLocale>
#include <QPalette>
#include <QStyle>

#include <algorithm>
#include <cmath>

const std::array<ReportColumn, PartsModel::ColumnCount> PartsModel::ColumnTable = {{
    {"Componente", 210, Qt::AlignLeft},
    {"Montato", 90, Qt::AlignHCenter},
    {"KM", 65, Qt::AlignRight},
    {"Limite", 140, Qt::AlignLeft},
    {"Usura", 55, Qt::AlignRight},
    {"Note", 160, Qt::AlignLeft},
}};

namespace {

const QString DateFormat = QStringLiteral("dd/MM/yyyy");

QString Months(int months)
{
    return QLocale().toString(months) + (months == 1 ? QStringLiteral(" mese") : QStringLiteral(" mesi"));
}

}

PartsModel::PartsModel(QObject* parent) : ReportListModel(ColumnTable, parent) {}

QString PartsModel::LimitText(const Bikes::Part& part)
{
    QStringList limits;
    if (part.limitKm)
        limits.append(Formats::Grouped(*part.limitKm) + QStringLiteral(" km"));
    if (part.limitMonths)
        limits.append(Months(*part.limitMonths));
    return limits.join(QStringLiteral(", "));
}

std::optional<double> PartsModel::WearShare(const Bikes::Part& part, const Bikes::PartUsage& usage)
{
    std::optional<double> share;
    if (part.limitKm && *part.limitKm > 0)
        share = usage.km / *part.limitKm;
    if (part.limitMonths && *part.limitMonths > 0)
        share = std::max(share.value_or(0.0), double(usage.months) / *part.limitMonths);
    return share;
}

QString PartsModel::HistoryText(const Bikes::Part& part, const Bikes::Garage& garage)
{
    QStringList stays;
    for (const Bikes::Fitting& fitting : part.fittings) {
        const Bikes::Bike* bike = garage.FindBike(fitting.bike);
        QString stay = (bike ? bike->name : QStringLiteral("?")) + QStringLiteral(" dal ")
                       + fitting.from.toString(DateFormat);
        if (fitting.atBikeKm)
            stay += QStringLiteral(" (a %1 km)").arg(Formats::Grouped(*fitting.atBikeKm));
        if (fitting.until.isValid())
            stay += QStringLiteral(" al ") + fitting.until.toString(DateFormat);
        stays.append(stay);
    }
    if (part.retired.isValid())
        stays.append(QStringLiteral("ritirato il ") + part.retired.toString(DateFormat));
    return stays.join(QStringLiteral("; "));
}

void PartsModel::SetParts(const Bikes::Garage& garage, const Bikes::Usage& usage, int bike, bool withRetired)
{
    QHash<int, Bikes::Wear> due;
    for (const Bikes::Wear& wear : Bikes::Due(garage, usage))
        due.insert(wear.part, wear);

    beginResetModel();
    m_rows.clear();
    for (const Bikes::Part& part : garage.parts) {
        if (BikesModel::HomeBike(part) != bike || (part.retired.isValid() && !withRetired))
            continue;
        Row row{part, usage.parts.value(part.key), std::nullopt, HistoryText(part, garage)};
        if (due.contains(part.key) && !part.retired.isValid())
            row.due = due.value(part.key);
        m_rows.append(row);
    }
    // The garage's order within each group.
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const Row& a, const Row& b) {
        const auto rank = [](const Row& row) { return row.due ? 0 : row.part.retired.isValid() ? 2 : 1; };
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        return a.due && b.due && a.due->Share() > b.due->Share();
    });
    endResetModel();
}

int PartsModel::Key(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).part.key : -1;
}

int PartsModel::RowOf(int key) const
{
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows.at(row).part.key == key)
            return row;
    return -1;
}

const Bikes::Part* PartsModel::PartAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? &m_rows.at(row).part : nullptr;
}

bool PartsModel::IsDue(int row) const
{
    return row >= 0 && row < m_rows.size() && m_rows.at(row).due.has_value();
}

QString PartsModel::FittedText(const Row& row) const
{
    if (row.part.fittings.isEmpty())
        return {};
    const Bikes::Fitting& last = row.part.fittings.last();
    if (last.until.isValid() && !row.part.retired.isValid())
        return QStringLiteral("smontato il ") + last.until.toString(DateFormat);
    if (last.atBikeKm)
        return QStringLiteral("a %1 km").arg(Formats::Grouped(*last.atBikeKm));
    return last.from.toString(DateFormat);
}

int PartsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant PartsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Row& row = m_rows.at(index.row());
    switch (role) {
    case KeyRole:
        return row.part.key;
    case Qt::DecorationRole:
        if (row.due && index.column() == Name)
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        return {};
    case Qt::ForegroundRole:
        if (row.part.retired.isValid())
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        if (row.due)
            return QBrush(QColor(0xc0, 0x00, 0x00));
        return {};
    case Qt::FontRole:
        if (row.due) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::ToolTipRole:
        if (index.column() == Notes && !row.part.notes.isEmpty())
            return row.part.notes;
        return row.due ? Bikes::DueText(*row.due) + u'\n' + row.history : row.history;
    case Qt::DisplayRole:
        break;
    default:
        return {};
    }
    switch (index.column()) {
    case Name: return row.part.retired.isValid() ? row.part.name + QStringLiteral(" (ritirato)") : row.part.name;
    case Fitted: return FittedText(row);
    case Km: return Formats::Grouped(row.usage.km);
    case Limit: return LimitText(row.part);
    case Wear: {
        const std::optional<double> share = WearShare(row.part, row.usage);
        // Down, so that "95 %" is never shown for a part not yet due.
        return share ? QLocale().toString(qint64(std::floor(*share * 100 + 1e-9))) + QStringLiteral(" %") : QString();
    }
    case Notes: return row.part.notes;
    default: return {};
    }
}
