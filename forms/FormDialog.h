#pragma once

#include <QString>

class QDateEdit;
class QDialog;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QWidget;

// The small dialogs of the bikes window: labelled fields in a form over "OK"
// and "Annulla".
namespace FormDialog {

// A label whose mnemonic moves the focus to `control`.
QLabel* LabelFor(QWidget* control, const QString& text);
// Days as the rest of the program shows them, picked from a calendar.
void ShowDays(QDateEdit* date);
// Lays `form` (under `above`, when there is one) over the two buttons, the OK
// button named BitBtnOK; "Annulla" rejects. What accepting does is the
// caller's: it connects the box's accepted().
QDialogButtonBox* Lay(QDialog* dialog, QFormLayout* form, int minimumWidth, QWidget* above = nullptr);

}
