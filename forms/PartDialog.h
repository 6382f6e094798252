#pragma once

#include "data/Bikes.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;
class DatePicker;

// "Aggiungi componente" / "Modifica componente": the name (any, or one of the
// usual ones), the wear limits and the notes; a new part also when it was
// fitted, on a day and, if known, at a km of its bike. A part changed keeps
// its fittings, shown but not editable.
class PartDialog : public QDialog
{
public:
    static const QStringList UsualNames;

    // `fitting` is the new part's first (its bike set) or the part's last;
    // `bikeKm` the bike's km now, offered for a fitting at a km.
    PartDialog(QWidget* owner, const Bikes::Part& part, const Bikes::Fitting& fitting, double bikeKm,
               const QDate& today);

    const Bikes::Part& Part() const { return m_part; }
    const Bikes::Fitting& Fitting() const { return m_fitting; }

private:
    void BitBtnOKClick();

    Bikes::Part m_part;
    Bikes::Fitting m_fitting;
    QComboBox* ComboBoxNome;
    DatePicker* DateMontaggio;
    QCheckBox* CheckBoxKmMontaggio;
    QDoubleSpinBox* SpinKmMontaggio;
    QCheckBox* CheckBoxLimiteKm;
    QSpinBox* SpinLimiteKm;
    QCheckBox* CheckBoxLimiteMesi;
    QSpinBox* SpinLimiteMesi;
    QLineEdit* EditNote;
};
