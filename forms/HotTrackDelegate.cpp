#include "forms/HotTrackDelegate.h"

void HotTrackDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (m_hotTrack && option->state.testFlag(QStyle::State_MouseOver))
        option->font.setUnderline(true);
}
