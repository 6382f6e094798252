#pragma once

#include "forms/GridLinesDelegate.h"

// The preview's editors: a list of the log's ride types for the type column,
// a line of at most 255 characters for the description.
class GpsCandidateDelegate : public GridLinesDelegate
{
public:
    using GridLinesDelegate::GridLinesDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};
