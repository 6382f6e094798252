#pragma once

#include "data/Bikes.h"
#include "data/RideEntry.h"
#include "util/TDateTime.h"

#include "ui_Unitedituscita.h"

#include <QDialog>

#include <array>

class RideLog;

// The dialog in which a ride is entered or changed. The caller fills the
// public members, shows it, and on OK reads them back validated.
class TFormEditUscita : public QDialog, private Ui::TFormEditUscita
{
public:
    // The ride types are read from `log` each time the dialog is shown.
    TFormEditUscita(QWidget* owner, RideLog& log);

    bool Modifica = false;
    int Anno = 0;
    int Mese = 1;
    int Giorno = 1;
    int Tipo = 0;
    double Chilometri = 0.0;
    TDateTime Tempo;
    QString TestoDescrizione;
    // The ride's bike (modify only); after OK the one chosen. 0 for none.
    int Bici = 0;

    // Giorno, Tipo, Chilometri, Tempo and TestoDescrizione as one value.
    RideEntry Entry() const;
    void SetEntry(const RideEntry& entry);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void BitBtnOKClick();
    void ComboBoxTipoChange();
    void FillBikes();
    void SelectBike(int bike);
    std::array<QLineEdit*, 3> DurationFields() const;
    static void ShowWhole(QLineEdit* field, const QString& text);

    RideLog& m_log;
    // What modify mode showed; a field still showing it keeps the stored value.
    QString m_shownKm;
    QStringList m_shownDuration;
    Bikes::Garage m_garage;
    bool m_bikesRead = false;
    // Until the rider picks a bike, an added ride's bike is its type's default.
    bool m_bikeChosen = false;
};
