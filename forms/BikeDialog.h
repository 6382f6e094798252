#pragma once

#include "data/Bikes.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class QLineEdit;
class DatePicker;

// "Aggiungi bici" / "Modifica bici": name, starting km and purchase date. OK
// takes only a name no other bike of `garage` has.
class BikeDialog : public QDialog
{
public:
    BikeDialog(QWidget* owner, const Bikes::Garage& garage, const Bikes::Bike& bike, const QDate& today);

    // What OK confirmed; the key and the retirement as given.
    const Bikes::Bike& Value() const { return m_bike; }

private:
    void BitBtnOKClick();

    const Bikes::Garage& m_garage;
    Bikes::Bike m_bike;
    QLineEdit* EditNome;
    QDoubleSpinBox* SpinKmIniziali;
    QCheckBox* CheckBoxAcquisto;
    DatePicker* DateAcquisto;
};
