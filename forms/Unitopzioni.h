#pragma once

#include "util/Settings.h"

#include "ui_Unitopzioni.h"

#include <QDialog>

class QLineEdit;

// The options dialog: calendar hot tracking, print font and print margins,
// the automatic backup and the yearly goal.
// It opens on the caller's current values and keeps no settings of its own;
// the caller applies Values() when the dialog is accepted.
class TFormOpzioni : public QDialog, private Ui::TFormOpzioni
{
public:
    TFormOpzioni(QWidget* owner, const Options& current);

    // What OK confirmed; until then the values the dialog opened with.
    const Options& Values() const { return m_values; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ComboBoxFontChange();
    void BitBtnOKClick();

    // The spinners' own text fields: they show the value but take no typing.
    QLineEdit* EditMargineVerticale = nullptr;
    QLineEdit* EditMargineOrizzontale = nullptr;
    Options m_values;
};
