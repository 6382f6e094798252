#include "forms/GpsCandidateDelegate.h"

#include "forms/GpsCandidatesModel.h"

#include <QComboBox>
#include <QLineEdit>

namespace {

const GpsCandidatesModel* ModelOf(const QModelIndex& index)
{
    return dynamic_cast<const GpsCandidatesModel*>(index.model());
}

}

QWidget* GpsCandidateDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const
{
    const GpsCandidatesModel* model = ModelOf(index);
    if (model && index.column() == GpsCandidatesModel::Type) {
        auto* types = new QComboBox(parent);
        for (const Rides::RideType& type : model->Types())
            types->addItem(type.name, type.key);
        // The choice is stored as soon as it is made, not when the cell loses the focus.
        connect(types, &QComboBox::activated, this, [this, types] {
            const_cast<GpsCandidateDelegate*>(this)->commitData(types);
        });
        return types;
    }
    if (index.column() == GpsCandidatesModel::Description) {
        auto* line = new QLineEdit(parent);
        line->setMaxLength(GpsCandidatesModel::MaxDescription);
        line->setFrame(false);
        return line;
    }
    return GridLinesDelegate::createEditor(parent, option, index);
}

void GpsCandidateDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* types = qobject_cast<QComboBox*>(editor)) {
        types->setCurrentIndex(types->findData(index.data(Qt::EditRole)));
        return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        line->setText(index.data(Qt::EditRole).toString());
        return;
    }
    GridLinesDelegate::setEditorData(editor, index);
}

void GpsCandidateDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* types = qobject_cast<QComboBox*>(editor)) {
        if (types->currentIndex() >= 0)
            model->setData(index, types->currentData(), Qt::EditRole);
        return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        model->setData(index, line->text(), Qt::EditRole);
        return;
    }
    GridLinesDelegate::setModelData(editor, model, index);
}
