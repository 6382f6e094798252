#pragma once

#include <QStyledItemDelegate>

// Underlines the entry under the mouse pointer while hot tracking is on.
class HotTrackDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setHotTrack(bool on) { m_hotTrack = on; }
    bool hotTrack() const { return m_hotTrack; }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    bool m_hotTrack = false;
};
