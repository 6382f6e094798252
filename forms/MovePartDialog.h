#pragma once

#include "data/Bikes.h"

#include <QDialog>

class QComboBox;
class DatePicker;

// "Sposta componente": onto which bike in use (or none, put aside) and on
// which day, not before the part came onto the bike it is on.
class MovePartDialog : public QDialog
{
public:
    static const QString NoBikeText;

    MovePartDialog(QWidget* owner, const Bikes::Garage& garage, const Bikes::Part& part, const QDate& today);

    int Bike() const; // 0: none
    QDate Day() const;

private:
    QComboBox* ComboBoxBici;
    DatePicker* DateSpostamento;
};
