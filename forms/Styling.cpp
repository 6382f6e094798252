#include "forms/Styling.h"

#include <QGroupBox>
#include <QLabel>
#include <QPalette>

QColor CaptionBlue()
{
    return QColor(0, 0, 0xC0);
}

void SetCaptionColour(QGroupBox* box, const QColor& colour)
{
    const QPalette inherited = box->palette();
    QPalette caption = inherited;
    caption.setColor(QPalette::WindowText, colour);
    box->setPalette(caption);
    // Set explicitly, or the children would resolve the caption colour from the box.
    QPalette plain = inherited;
    plain.setColor(QPalette::WindowText, inherited.color(QPalette::WindowText));
    for (QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setPalette(plain);
}

void KeepSelectionVisible(QWidget* list)
{
    QPalette palette = list->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    list->setPalette(palette);
}

void FitLabelColumn(QWidget* box, int column)
{
    int needed = column;
    for (const QLabel* label : box->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        if (label->x() < column)
            needed = std::max(needed, label->x() + label->fontMetrics().horizontalAdvance(label->text()) + 4);
    const int shift = needed - column;
    if (shift <= 0)
        return;
    for (QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->x() >= column)
            child->move(child->x() + shift, child->y());
        else if (qobject_cast<QLabel*>(child))
            child->resize(needed - child->x(), child->height());
    }
    box->resize(box->width() + shift, box->height());
    // What stands beside the box in its window (the buttons) keeps its place relative to the right edge.
    QWidget* form = box->parentWidget();
    for (QWidget* sibling : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (sibling != box && sibling->x() > box->x())
            sibling->move(sibling->x() + shift, sibling->y());
    form->resize(form->width() + shift, form->height());
}
