#include "forms/Unitedituscita.h"

#include "data/RideEntry.h"
#include "data/RideLog.h"
#include "forms/CenterOnScreen.h"
#include "forms/MessageBoxes.h"
#include "forms/RideInputValidators.h"
#include "forms/Styling.h"
#include "util/Exception.h"

#include <QShowEvent>
#include <QStyle>

namespace {

const QString NoBikeText = QStringLiteral("nessuna");
const QString RetiredSuffix = QStringLiteral(" (ritirata)");

}

TFormEditUscita::TFormEditUscita(QWidget* owner, RideLog& log)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_log(log)
{
    setupUi(this);
    FitToFont(this);
    setFixedSize(size());
    SetCaptionColour(GroupBoxDatiUscita, CaptionBlue());
    BitBtnOK->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    BitBtnAnnulla->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

    EditKM->setValidator(new DistanceValidator(EditKM));
    TakeEitherSeparator(EditKM);
    for (QLineEdit* part : DurationFields())
        part->setValidator(new DigitsValidator(part));
    FilterDescription(EditDescrizione);

    connect(ComboBoxTipo, &QComboBox::currentIndexChanged, this, &TFormEditUscita::ComboBoxTipoChange);
    connect(ComboBoxBici, &QComboBox::activated, this, [this] { m_bikeChosen = true; });
    connect(BitBtnOK, &QPushButton::clicked, this, &TFormEditUscita::BitBtnOKClick);
    connect(BitBtnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormEditUscita::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        FormShow();
        CenterOnScreen(this);
    }
    QDialog::showEvent(event);
}

std::array<QLineEdit*, 3> TFormEditUscita::DurationFields() const
{
    return {EditOre, EditMinuti, EditSecondi};
}

// The length limit is for typing: a stored value the program puts in shows whole.
void TFormEditUscita::ShowWhole(QLineEdit* field, const QString& text)
{
    field->setMaxLength(std::max(field->maxLength(), int(text.size())));
    field->setText(text);
}

void TFormEditUscita::FormShow()
{
    ComboBoxGiorno->clear();
    ComboBoxGiorno->addItems(RideValidation::DayList(Mese, Anno));
    ComboBoxGiorno->setCurrentIndex(Giorno - 1);

    // The bikes before the types: filling the types picks the type's bike.
    FillBikes();
    ComboBoxTipo->clear();
    // Without its types the ride can still be looked at; OK then returns no type.
    Quietly("ride types not read", [this] { ComboBoxTipo->addItems(m_log.TypeNames()); });

    ComboBoxGiorno->setEnabled(!Modifica);
    if (Modifica) {
        ComboBoxTipo->setCurrentIndex(Tipo);
        m_shownKm = RideValidation::DistanceText(Chilometri);
        ShowWhole(EditKM, m_shownKm);
        m_shownDuration = RideValidation::DurationTexts(Tempo);
        for (int part = 0; part < 3; ++part)
            ShowWhole(DurationFields()[part], m_shownDuration[part]);
        EditDescrizione->setText(TestoDescrizione);
        SelectBike(Bici);
    } else {
        ComboBoxTipo->setCurrentIndex(ComboBoxTipo->count() > 0 ? 0 : -1);
        for (QLineEdit* field : {EditKM, EditOre, EditMinuti, EditSecondi, EditDescrizione})
            field->clear();
    }
}

// "nessuna" and the bikes in use, by name; a ride being changed keeps its
// own bike on offer even when it is retired.
void TFormEditUscita::FillBikes()
{
    m_bikeChosen = false;
    m_garage = {};
    ComboBoxBici->clear();
    ComboBoxBici->addItem(NoBikeText, 0);
    m_bikesRead = Quietly("bikes not read", [this] { m_garage = m_log.Bikes().Garage(); });
    // A ride whose bike cannot be shown keeps it: OK then leaves Bici alone.
    ComboBoxBici->setEnabled(m_bikesRead);
    for (const Bikes::Bike& bike : std::as_const(m_garage.bikes)) {
        if (!bike.retired)
            ComboBoxBici->addItem(bike.name, bike.key);
        else if (Modifica && bike.key == Bici)
            ComboBoxBici->addItem(bike.name + RetiredSuffix, bike.key);
    }
}

void TFormEditUscita::SelectBike(int bike)
{
    const int at = ComboBoxBici->findData(bike);
    ComboBoxBici->setCurrentIndex(at >= 0 ? at : 0);
}

void TFormEditUscita::ComboBoxTipoChange()
{
    if (Modifica || m_bikeChosen)
        return;
    // A type's position is its key.
    SelectBike(m_garage.defaultBikes.value(ComboBoxTipo->currentIndex(), 0));
}

void TFormEditUscita::BitBtnOKClick()
{
    RideValidation::Fields fields;
    fields.dayIndex = ComboBoxGiorno->currentIndex();
    fields.typeIndex = ComboBoxTipo->currentIndex();
    fields.km = EditKM->text();
    fields.hours = EditOre->text();
    fields.minutes = EditMinuti->text();
    fields.seconds = EditSecondi->text();
    fields.description = EditDescrizione->text();
    if (Modifica) {
        if (fields.km == m_shownKm)
            fields.keptKm = Chilometri;
        if (QStringList{fields.hours, fields.minutes, fields.seconds} == m_shownDuration)
            fields.keptDuration = Tempo;
    }
    const RideValidation::Result result = RideValidation::Validate(fields);
    if (result.fault) {
        MessageBoxes::Show(this, result.fault->message, QMessageBox::Warning);
        (result.fault->field == RideValidation::Fault::Field::Distance ? EditKM : EditOre)->setFocus();
        return;
    }
    SetEntry(result.entry);
    if (m_bikesRead)
        Bici = ComboBoxBici->currentData().toInt();
    accept();
}

RideEntry TFormEditUscita::Entry() const
{
    return {Giorno, Tipo, Chilometri, Tempo, TestoDescrizione};
}

void TFormEditUscita::SetEntry(const RideEntry& entry)
{
    Giorno = entry.giorno;
    Tipo = entry.tipo;
    Chilometri = entry.chilometri;
    Tempo = entry.tempo;
    TestoDescrizione = entry.testoDescrizione;
}
