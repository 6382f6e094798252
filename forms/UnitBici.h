#pragma once

#include "data/BikeStore.h"
#include "data/Rides.h"

#include <QDate>
#include <QDialog>

#include <functional>

class BikesModel;
class PartsModel;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTreeView;

// "Bici e componenti": the rider's bikes with their km, time and rides; the
// default bike of each ride type; the parts of the selected bike with their
// wear, those due first. Every change is written at once and the lists read
// again, the selection staying on the same bike and part.
class TFormBici : public QDialog
{
public:
    static const QString WriteFailedText;
    static const QString ReadFailedText;

    // Reads the bikes: throws when the database refuses them.
    TFormBici(QWidget* owner, BikeStore store, QList<Rides::RideType> types, const QDate& today);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    // Reads everything again and selects `bike` and `part` where still listed.
    // A failure is told when `tell`; the lists then stay as they were.
    void ReadAgain(int bike, int part, bool tell = true);
    void ShowParts(int part);
    void ShowDefaults();
    void ShowSelection();
    int SelectedBike() const; // -1 for none; 0 for the parts on no bike
    int SelectedPart() const; // 0 for none
    void Select(QTreeView* list, int row);
    // Runs a write; a failure is told. Either way the lists are read again,
    // selecting the bike and part `work` returns, or what was selected.
    void Write(const std::function<std::pair<int, int>()>& work);
    bool Asked(const QString& question, bool yesByDefault);

    void BitBtnAggiungiBiciClick();
    void BitBtnModificaBiciClick();
    void BitBtnRitiraBiciClick();
    void BitBtnEliminaBiciClick();
    void ComboBoxPredefinitaChange(int type, QComboBox* combo);
    void BitBtnAggiungiComponenteClick();
    void BitBtnModificaComponenteClick();
    void BitBtnSpostaComponenteClick();
    void BitBtnSostituisciComponenteClick();
    void BitBtnRitiraComponenteClick();
    void BitBtnEliminaComponenteClick();

    BikeStore m_store;
    QList<Rides::RideType> m_types;
    QDate m_today;
    Bikes::Garage m_garage;
    Bikes::Usage m_usage;
    BikesModel* m_bikes;
    PartsModel* m_parts;
    bool m_filling = false; // the lists are being refilled: their selections say nothing

    QTreeView* ListViewBici = nullptr;
    QPushButton* BitBtnAggiungiBici = nullptr;
    QPushButton* BitBtnModificaBici = nullptr;
    QPushButton* BitBtnRitiraBici = nullptr;
    QPushButton* BitBtnEliminaBici = nullptr;
    QList<QComboBox*> ComboBoxPredefinita; // one a ride type, in m_types' order
    QGroupBox* GroupBoxComponenti = nullptr;
    QTreeView* ListViewComponenti = nullptr;
    QCheckBox* CheckBoxRitirati = nullptr;
    QLabel* LabelStoria = nullptr;
    QPushButton* BitBtnAggiungiComponente = nullptr;
    QPushButton* BitBtnModificaComponente = nullptr;
    QPushButton* BitBtnSpostaComponente = nullptr;
    QPushButton* BitBtnSostituisciComponente = nullptr;
    QPushButton* BitBtnRitiraComponente = nullptr;
    QPushButton* BitBtnEliminaComponente = nullptr;
    QPushButton* BitBtnChiudi = nullptr;
};
