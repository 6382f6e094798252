#pragma once

#include <QAbstractTableModel>
#include <QList>

#include <span>

class QTreeView;

// One column of a report-style list: its heading, its width in pixels at the
// 8-point font the windows were drawn for, and how its heading and cells align.
struct ReportColumn
{
    const char* title;
    int width;
    Qt::Alignment alignment;
};

// A flat table shown as a report-style list: one row a record, the columns
// and their headings from a constant table. Subclasses give the rows.
class ReportListModel : public QAbstractTableModel
{
public:
    explicit ReportListModel(std::span<const ReportColumn> columns, QObject* parent = nullptr);

    std::span<const ReportColumn> Columns() const { return m_columns; }

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::span<const ReportColumn> m_columns;
};

// Shows `model` in `view` as a report list: no root decoration, the grid
// delegate (cells aligned as their heading), headings fixed in place, the
// selection kept visible without focus, and each column at its preset
// width times `scale`. Returns those widths, one a column.
QList<int> ShowAsReport(QTreeView* view, ReportListModel* model, double scale = 1.0);
