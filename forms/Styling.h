#pragma once

#include <QList>

class QColor;
class QGroupBox;
class QTreeView;
class QWidget;

// The blue of the captions of group boxes.
QColor CaptionBlue();
// Colours a group box's caption only, not the controls inside it.
void SetCaptionColour(QGroupBox* box, const QColor& colour);
// A list keeps showing its selection in the active colour when it loses focus.
void KeepSelectionVisible(QWidget* list);
// Windows laid out at fixed positions were drawn for a small 8-point font.
// Scales every position and size in `form` by as much as the user's font
// needs, so that no caption is clipped; never shrinks. Returns the horizontal
// factor, for what the form sizes itself (the columns of its lists).
double FitToFont(QWidget* form);
// Widens each column of `list` to its widest cell and its heading as the list
// draws them, never below `minimum` (one width a column).
void FitColumnsToContents(QTreeView* list, const QList<int>& minimum);
