#include "forms/ReportListModel.h"

#include "forms/GridLinesDelegate.h"
#include "forms/Styling.h"

#include <QHeaderView>
#include <QTreeView>

ReportListModel::ReportListModel(std::span<const ReportColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), m_columns(columns)
{
}

int ReportListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant ReportListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= int(m_columns.size()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromUtf8(m_columns[section].title);
    case Qt::TextAlignmentRole:
        return (m_columns[section].alignment | Qt::AlignVCenter).toInt();
    default:
        return {};
    }
}

QList<int> ShowAsReport(QTreeView* view, ReportListModel* model, double scale)
{
    view->setModel(model);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setItemDelegate(new GridLinesDelegate(view));
    KeepSelectionVisible(view);
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    QList<int> widths;
    for (const ReportColumn& column : model->Columns()) {
        widths.append(qRound(column.width * scale));
        view->setColumnWidth(int(widths.size()) - 1, widths.last());
    }
    return widths;
}
