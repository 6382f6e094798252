#pragma once

class QColor;
class QGroupBox;
class QWidget;

// The blue of the captions of group boxes.
QColor CaptionBlue();
// Colours a group box's caption only, not the controls inside it.
void SetCaptionColour(QGroupBox* box, const QColor& colour);
// A list keeps showing its selection in the active colour when it loses focus.
void KeepSelectionVisible(QWidget* list);
// Where a label left of `column` in `box` is too narrow for its text in the
// user's font, moves the controls from `column` on to the right and widens the
// box and its window by as much.
void FitLabelColumn(QWidget* box, int column);
