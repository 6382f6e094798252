#include "forms/Styling.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPalette>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeView>

#include <algorithm>

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

namespace {

// Controls the form places itself, not the inner parts of composite widgets
// (the viewport of a list, the editor of a date picker, the buttons of a tab bar).
bool PlacedByForm(const QWidget* child, const QWidget* form)
{
    const QWidget* parent = child->parentWidget();
    if (parent == form)
        return true;
    const QByteArray kind = parent->metaObject()->className();
    return !parent->layout() && (kind == "QGroupBox" || kind == "QFrame" || kind == "QWidget");
}

}

double FitToFont(QWidget* form)
{
    // The font the positions were chosen for: 13 pixels a line.
    constexpr double DesignLineHeight = 13.0;
    QList<QWidget*> placed;
    for (QWidget* child : form->findChildren<QWidget*>())
        if (PlacedByForm(child, form))
            placed.append(child);

    double fx = 1.0;
    for (const QWidget* child : placed) {
        if (child->width() <= 0)
            continue;
        const auto* label = qobject_cast<const QLabel*>(child);
        if (qobject_cast<const QAbstractButton*>(child) || (label && !label->text().isEmpty()))
            fx = std::max(fx, double(child->sizeHint().width()) / child->width());
        // Every tab of a page control in sight, without scroll arrows.
        if (const auto* tabs = qobject_cast<const QTabWidget*>(child))
            fx = std::max(fx, double(tabs->tabBar()->sizeHint().width() + 4) / child->width());
    }
    fx = std::min(fx, 2.0);
    const double fy = std::clamp(form->fontMetrics().height() / DesignLineHeight, 1.0, 2.0);
    if (fx == 1.0 && fy == 1.0)
        return fx;
    for (QWidget* child : placed) {
        const QRect r = child->geometry();
        // A picture (a label without text) keeps its shape.
        const auto* label = qobject_cast<const QLabel*>(child);
        const bool picture = label && label->text().isEmpty();
        const double sx = picture ? std::min(fx, fy) : fx;
        const double sy = picture ? std::min(fx, fy) : fy;
        child->setGeometry(qRound(r.x() * fx), qRound(r.y() * fy), qRound(r.width() * sx), qRound(r.height() * sy));
    }
    form->resize(qRound(form->width() * fx), qRound(form->height() * fy));
    return fx;
}

void FitColumnsToContents(QTreeView* list, const QList<int>& minimum)
{
    // The list's own measure: its delegate's size hints, margins included.
    const QAbstractItemView* view = list;
    for (int column = 0; column < list->header()->count(); ++column)
        list->setColumnWidth(column, std::max({minimum.value(column), view->sizeHintForColumn(column),
                                               list->header()->sectionSizeHint(column)}));
}
