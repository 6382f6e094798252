#include "forms/StatisticsRowsModel.h"

#include "data/Statistics.h"

#include <QBrush>
#include <QFont>

StatisticsRowsModel::StatisticsRowsModel(std::span<const ReportColumn> columns, Look look, QObject* parent)
    : ReportListModel(columns, parent), m_look(look)
{
}

void StatisticsRowsModel::SetRows(QList<QStringList> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_toolTipRow = -1;
    endResetModel();
}

void StatisticsRowsModel::SetRowToolTip(int row, const QString& text)
{
    m_toolTipRow = row;
    m_toolTip = text;
}

bool StatisticsRowsModel::IsTotal(int row) const
{
    return m_look.boldLastRow && row == m_rows.size() - 1;
}

int StatisticsRowsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant StatisticsRowsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_rows.at(index.row()).value(index.column());
    case Qt::ToolTipRole:
        return index.row() == m_toolTipRow ? QVariant(m_toolTip) : QVariant();
    case Qt::BackgroundRole:
        if (index.column() == m_look.colourKeyColumn && !IsTotal(index.row()))
            return QBrush(Statistics::ColoriGrafici(index.row()));
        return {};
    case Qt::FontRole:
        if (IsTotal(index.row())) {
            // Only the weight: the rest comes from the list's own font.
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}
